#pragma once

#include <cstddef>

namespace quorvane {

// Lists at least this long are freed on a pool thread rather than by whoever lets go of them last.
inline constexpr std::size_t largeInventory = 1000;
// A pass over the products takes another thread for each this many of them: each product holds
// lists of its own, so copying or comparing one costs an allocation or more.
inline constexpr std::size_t productsPerThread = 2048;

} // namespace quorvane
