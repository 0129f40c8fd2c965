#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include <openorvane/basic/types.hpp>

namespace orvane::internal
{
    /// A set of dense ids (macro vertices or polygons) for the searches of
    /// the front, which start a new set many times per triangle laid: an id
    /// is in the set when its mark equals the current round, so that
    /// starting a new set costs nothing but a counter, whatever was marked
    /// before. The marks grow with the largest id met and are kept from one
    /// round to the next. Marks are 16 bits: the marks are wiped once every
    /// 65535 rounds, and take half the room of full ids.
    class FrontalMarks
    {
    public:
        /// Starts an empty set for ids below `size` (larger ids are
        /// accepted too, at the cost of growing the marks).
        void start( index_t size )
        {
            round_++;
            if( round_ == 0 )
            {
                // The counter wrapped: old marks could match again.
                std::fill( marks_.begin(), marks_.end(), 0 );
                round_ = 1;
            }
            if( marks_.size() < size )
            {
                marks_.resize( size, 0 );
            }
        }

        /// Adds the id; answers whether it was not in the set yet.
        bool insert( index_t id )
        {
            if( id >= marks_.size() )
            {
                marks_.resize(
                    std::max< std::size_t >( id + std::size_t{ 1 }, 2 * marks_.size() ),
                    0 );
            }
            if( marks_[id] == round_ )
            {
                return false;
            }
            marks_[id] = round_;
            return true;
        }

    private:
        std::vector< std::uint16_t > marks_;
        std::uint16_t round_{ 0 };
    };
} // namespace orvane::internal
