#include <openorvane/basic/async.hpp>

#include <thread>

namespace orvane::async
{
    unsigned int hardware_concurrency()
    {
        const auto concurrency = std::thread::hardware_concurrency();
        return concurrency == 0 ? 1 : concurrency;
    }

    index_t grain( index_t nb_elements )
    {
        static constexpr index_t MAX_GRAIN = 2048;
        const auto divisor = static_cast< index_t >( 8 * hardware_concurrency() );
        return std::clamp< index_t >( nb_elements / divisor, 1, MAX_GRAIN );
    }
} // namespace orvane::async
