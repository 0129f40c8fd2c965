#pragma once

#include <openorvane/basic/types.hpp>

#include <simplex/surface/sampling_context.hpp>

namespace orvane
{
    template < index_t dimension >
    class Surface;

    namespace internal
    {
        /// Spreads points over the surface at the spacing of the metric and
        /// inserts them as new vertices, then records every inserted (or
        /// reused) vertex in the blocks' provenance under the context's
        /// uuid, numbered by a process-wide counter.
        ///
        /// The front starts from the surface's tagged vertices (those whose
        /// block vertices carry the context's uuid, is_macro_vertex_of):
        /// they are stored first, and every border chain between two
        /// tagged vertices gives one segment between them. A surface without
        /// tagged vertex, or without triangle, gets no point. Each point is
        /// inserted into the triangle it was sampled on, or into one of the
        /// triangles that replaced it, by splitting an edge within 1e-6 of
        /// the point or the triangle itself, when the model previews accept
        /// the split; a point within squared distance 1e-12 of a corner
        /// reuses that corner. A point no triangle takes is dropped.
        ///
        /// Several surfaces may be sampled in parallel tasks sharing one
        /// context: every read and edit of the model happens under the
        /// context's mutex, the front runs unlocked on a snapshot. Owners
        /// are processed in increasing polygon order so that runs repeat.
        /// Throws "[SurfaceSampler::initial_queue_elements] Safety count
        /// exceeded" for a border chain of 1000 edges or more, and
        /// "[Point::operator/] Cannot divide Point by something close to
        /// zero" for a null mean metric; the mutex is released on the way.
        void sample_surface( SamplingContext& context, const Surface< 3 >& surface );
    } // namespace internal
} // namespace orvane
