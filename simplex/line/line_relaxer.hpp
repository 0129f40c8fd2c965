#pragma once

#include <openorvane/basic/types.hpp>

namespace orvane
{
    template < index_t dimension >
    class Metric;
    class BRep;
    class BRepGeometricModifier;

    namespace internal
    {
        /// Relaxes every line of the model, one after the other: with a
        /// metric, removes the vertices on edges shorter than half the
        /// metric (edge collapses), and slides every inner line vertex along
        /// the line towards equal edge lengths, by bounded moves. Corner
        /// vertices never move or vanish. Every edit is a model-wide edit
        /// through the modifier, made only when the model-wide validity
        /// tests accept it. Without a metric only the smoothing runs.
        ///
        /// The working attributes ("metric stamp", "smooth stamp", "fixed")
        /// are removed from each line mesh when its turn ends, also when an
        /// exception leaves it; the edits made so far stay.
        void relax_lines( BRep& model, BRepGeometricModifier& modifier, const Metric< 3 >* metric );
    } // namespace internal
} // namespace orvane
