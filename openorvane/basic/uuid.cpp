#include <openorvane/basic/uuid.hpp>

#include <mutex>
#include <random>

#include <openorvane/basic/exception.hpp>

namespace orvane
{
    namespace
    {
        /// The process-wide random engine. A function-local static is built
        /// on first use, so ids may be drawn while other statics are still
        /// being initialised; the mutex makes drawing thread-safe.
        class UuidGenerator
        {
        public:
            static UuidGenerator& instance()
            {
                static UuidGenerator generator;
                return generator;
            }

            std::pair< std::uint64_t, std::uint64_t > draw()
            {
                const std::lock_guard< std::mutex > locking{ mutex_ };
                return { engine_(), engine_() };
            }

        private:
            UuidGenerator()
            {
                std::random_device device;
                std::seed_seq seeds{ device(), device(), device(), device(),
                    device(), device(), device(), device() };
                engine_.seed( seeds );
            }

        private:
            std::mutex mutex_;
            std::mt19937_64 engine_;
        };

        int hex_value( char character )
        {
            if( character >= '0' && character <= '9' )
            {
                return character - '0';
            }
            if( character >= 'a' && character <= 'f' )
            {
                return character - 'a' + 10;
            }
            if( character >= 'A' && character <= 'F' )
            {
                return character - 'A' + 10;
            }
            return -1;
        }

        constexpr std::size_t UUID_STRING_LENGTH = 36;

        bool is_dash_position( std::size_t position )
        {
            return position == 8 || position == 13 || position == 18
                   || position == 23;
        }
    } // namespace

    uuid::uuid()
    {
        auto [high, low] = UuidGenerator::instance().draw();
        // Version 4 (random) and RFC 4122 variant bits.
        high = ( high & 0xffffffffffff0fffULL ) | 0x0000000000004000ULL;
        low = ( low & 0x3fffffffffffffffULL ) | 0x8000000000000000ULL;
        ab_ = high;
        cd_ = low;
    }

    uuid::uuid( std::string_view text )
    {
        if( text.size() != UUID_STRING_LENGTH )
        {
            throw OpenOrvaneException{ "[uuid] Invalid uuid string: ", std::string{ text } };
        }
        std::uint64_t halves[2]{ 0, 0 };
        std::size_t nb_digits{ 0 };
        for( std::size_t position = 0; position < UUID_STRING_LENGTH; position++ )
        {
            const auto character = text[position];
            if( is_dash_position( position ) )
            {
                if( character != '-' )
                {
                    throw OpenOrvaneException{ "[uuid] Invalid uuid string: ",
                        std::string{ text } };
                }
                continue;
            }
            const auto value = hex_value( character );
            if( value < 0 )
            {
                throw OpenOrvaneException{ "[uuid] Invalid uuid string: ", std::string{ text } };
            }
            auto& half = halves[nb_digits / 16];
            half = ( half << 4 ) | static_cast< std::uint64_t >( value );
            nb_digits++;
        }
        ab_ = halves[0];
        cd_ = halves[1];
    }

    std::string uuid::string() const
    {
        static constexpr char DIGITS[] = "0123456789abcdef";
        std::string result;
        result.reserve( UUID_STRING_LENGTH );
        std::size_t nb_digits{ 0 };
        for( std::size_t position = 0; position < UUID_STRING_LENGTH; position++ )
        {
            if( is_dash_position( position ) )
            {
                result.push_back( '-' );
                continue;
            }
            const auto half = nb_digits < 16 ? ab_ : cd_;
            const auto shift = 4 * ( 15 - nb_digits % 16 );
            result.push_back( DIGITS[( half >> shift ) & 0xf] );
            nb_digits++;
        }
        return result;
    }
} // namespace orvane
