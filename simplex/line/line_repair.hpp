#pragma once

#include <functional>
#include <memory>

#include <openorvane/basic/types.hpp>

namespace orvane
{
    class BRep;
    template < index_t dimension >
    class Line;
    template < typename Model >
    class RemeshingData;

    namespace internal
    {
        /// Most repair passes over the lines in one repair.
        inline constexpr index_t MAX_LINE_REPAIR_PASSES = 11;
        /// Most repair iterations for one pair of close lines in a pass.
        inline constexpr index_t MAX_LINE_PAIR_ITERATIONS = 100;

        /// Repairs remeshed lines that cross or come too close to each
        /// other, right after line remeshing. Remeshed lines are chords of
        /// their input lines; where two input lines run close together,
        /// their chords may cross. The repair splits the output edges
        /// involved at the point of their input line farthest from them, so
        /// that each output line follows its input line more closely:
        /// - first, output lines reduced to one edge shared with another such
        ///   line are split at their farthest input vertex;
        /// - then passes over the flagged lines (all, at first) repair each
        ///   line against the lines whose metric-inflated boxes meet its
        ///   own, iterating per pair until the pair needs no split; a line
        ///   whose output changed is flagged for the next pass.
        ///
        /// Every new output vertex gets an input vertex at its position (an
        /// existing one, or one split into the input line) and the link is
        /// written in the input line's "remeshed_line_attribute".
        ///
        /// Built on the remeshing data after the line stage, used once, then
        /// destroyed. Only the constructor runs work on the pool.
        class RepairModelLines
        {
        public:
            /// Builds the search trees of the output lines and finds the
            /// pairs of input lines that may come close (rethrows a failure
            /// of that search, a metric error for instance).
            explicit RepairModelLines( RemeshingData< BRep >& data );
            ~RepairModelLines();

            RepairModelLines( const RepairModelLines& ) = delete;
            RepairModelLines& operator=( const RepairModelLines& ) = delete;

            /// Runs the repair, then cleans both models through their
            /// modifiers. Throws OpenOrvaneException "[RepairModelLines::
            /// repair] Too many line repair occurs" when the last allowed
            /// pass still changed something, "[RepairModelLines::
            /// repair_line] Too many line repair occurs" when the last
            /// allowed iteration of a pair did; the splits made stay in both
            /// models.
            void repair();

            /// Links the input line's vertex to the output unique vertex in
            /// "remeshed_line_attribute". Throws OpenOrvaneException
            /// "[RepairModelLines::set_remeshed_point] Uniquer vertex does
            /// not exist" when the output model has no such unique vertex.
            void set_remeshed_point(
                const Line< 3 >& input_line, index_t vertex, index_t unique_vertex );

        private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };

        /// The pass loop of the repair: runs `pass` while it reports a
        /// change, at most MAX_LINE_REPAIR_PASSES times, and throws the
        /// pass-limit message only when the last allowed pass still
        /// reported one.
        void run_line_repair_passes( const std::function< bool() >& pass );

        /// The iteration loop of one pair of lines, the same way with
        /// MAX_LINE_PAIR_ITERATIONS and the iteration-limit message.
        void run_line_pair_iterations( const std::function< bool() >& iteration );
    } // namespace internal
} // namespace orvane
