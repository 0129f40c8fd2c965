#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <type_traits>
#include <utility>

#include <openorvane/basic/assert.hpp>

namespace orvane
{
    namespace detail
    {
        /// A block of `bytes` bytes (at least 1) holding the first
        /// `kept_bytes` bytes of `block` (null, or of `old_bytes` bytes),
        /// which it replaces. Throws std::bad_alloc.
        void* resize_growable_block( void* block,
            std::size_t old_bytes,
            std::size_t bytes,
            std::size_t kept_bytes );

        /// Frees a block of `bytes` bytes from resize_growable_block.
        void release_growable_block( void* block, std::size_t bytes ) noexcept;
    } // namespace detail

    /// A vector of trivially copyable values for the large per-element
    /// tables of meshes, which grow one element at a time.
    ///
    /// Its capacity doubles as it grows, as std::vector's does, but a large
    /// block (2 MiB or more) is mapped on its own, on huge pages where the
    /// kernel offers them, and grows by remapping: the values already held
    /// are neither copied nor written again, and only the new part of the
    /// block is first touched. A std::vector copies everything into fresh
    /// memory at each doubling, which costs as much again in page faults as
    /// the values themselves. Small blocks come from malloc.
    ///
    /// New values added by resize take T{} (or the given value).
    template < typename T >
    class GrowableArray
    {
        static_assert( std::is_trivially_copyable_v< T > );

    public:
        using value_type = T;
        using iterator = T*;
        using const_iterator = const T*;

        GrowableArray() = default;

        explicit GrowableArray( std::size_t size, const T& value = T{} )
        {
            resize( size, value );
        }

        GrowableArray( const GrowableArray& other )
        {
            *this = other;
        }

        GrowableArray( GrowableArray&& other ) noexcept
        {
            swap( other );
        }

        GrowableArray& operator=( const GrowableArray& other )
        {
            if( this != &other )
            {
                clear();
                reserve( other.size_ );
                if( other.size_ > 0 )
                {
                    std::memcpy( data_, other.data_, other.size_ * sizeof( T ) );
                }
                size_ = other.size_;
            }
            return *this;
        }

        GrowableArray& operator=( GrowableArray&& other ) noexcept
        {
            GrowableArray moved{ std::move( other ) };
            swap( moved );
            return *this;
        }

        ~GrowableArray()
        {
            if( data_ != nullptr )
            {
                detail::release_growable_block( data_, capacity_ * sizeof( T ) );
            }
        }

        void swap( GrowableArray& other ) noexcept
        {
            std::swap( data_, other.data_ );
            std::swap( size_, other.size_ );
            std::swap( capacity_, other.capacity_ );
        }

        [[nodiscard]] std::size_t size() const
        {
            return size_;
        }

        [[nodiscard]] bool empty() const
        {
            return size_ == 0;
        }

        [[nodiscard]] std::size_t capacity() const
        {
            return capacity_;
        }

        T& operator[]( std::size_t index )
        {
            ORVANE_ASSERT( index < size_, "[GrowableArray] Index ", index,
                " out of range (", size_, " values)" );
            return data_[index];
        }

        const T& operator[]( std::size_t index ) const
        {
            ORVANE_ASSERT( index < size_, "[GrowableArray] Index ", index,
                " out of range (", size_, " values)" );
            return data_[index];
        }

        T* data()
        {
            return data_;
        }

        const T* data() const
        {
            return data_;
        }

        T* begin()
        {
            return data_;
        }

        T* end()
        {
            return data_ + size_;
        }

        const T* begin() const
        {
            return data_;
        }

        const T* end() const
        {
            return data_ + size_;
        }

        /// Makes room for `capacity` values (never shrinks).
        void reserve( std::size_t capacity )
        {
            if( capacity <= capacity_ )
            {
                return;
            }
            data_ = static_cast< T* >( detail::resize_growable_block( data_,
                capacity_ * sizeof( T ), capacity * sizeof( T ), size_ * sizeof( T ) ) );
            capacity_ = capacity;
        }

        void resize( std::size_t size, const T& value = T{} )
        {
            if( size > size_ )
            {
                grow_for( size );
                std::fill( data_ + size_, data_ + size, value );
            }
            size_ = size;
        }

        void push_back( const T& value )
        {
            grow_for( size_ + 1 );
            data_[size_++] = value;
        }

        /// Appends the values of [first, last), which must not lie in this
        /// array.
        void append( const T* first, const T* last )
        {
            const auto count = static_cast< std::size_t >( last - first );
            grow_for( size_ + count );
            std::copy( first, last, data_ + size_ );
            size_ += count;
        }

        /// Appends `count` copies of the value.
        void append( std::size_t count, const T& value )
        {
            resize( size_ + count, value );
        }

        /// Removes the values of [first, last), keeping the order of the
        /// others.
        void erase( const T* first, const T* last )
        {
            const auto begin_index = static_cast< std::size_t >( first - data_ );
            const auto end_index = static_cast< std::size_t >( last - data_ );
            std::copy( data_ + end_index, data_ + size_, data_ + begin_index );
            size_ -= end_index - begin_index;
        }

        /// Removes every value; the capacity stays.
        void clear()
        {
            size_ = 0;
        }

    private:
        /// Doubles the capacity until `size` values fit.
        void grow_for( std::size_t size )
        {
            if( size <= capacity_ )
            {
                return;
            }
            reserve( std::max( { size, 2 * capacity_, MIN_CAPACITY } ) );
        }

        static constexpr std::size_t MIN_CAPACITY = 16;

        T* data_{ nullptr };
        std::size_t size_{ 0 };
        std::size_t capacity_{ 0 };
    };
} // namespace orvane
