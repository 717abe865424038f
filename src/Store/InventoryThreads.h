#pragma once

#include <cstddef>

namespace quorvane {

// A scan's results at least this long are freed on the background pool rather than by whoever lets
// go of them last.
inline constexpr std::size_t largeInventory = 1000;
// A pass over the products takes another thread for each this many of them: each product holds a
// dozen texts and lists, each counted, copied or compared on its own.
inline constexpr std::size_t productsPerThread = 2048;

} // namespace quorvane
