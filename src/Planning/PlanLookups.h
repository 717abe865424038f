#pragma once

#include "Shared/PathPolicy.h"

#include <cstddef>
#include <optional>

namespace quorvane {

// What the disk showed, shared by the path checks of one plan, as the helper shares it within one
// request: the folders of a bundle are resolved once rather than once per bundle, which takes over
// a third off a cleanup preview of thousands of bundles. The look-ups start afresh every
// `bundlesPerBatch` bundles, so a plan keeps no more folders open than a few dozen bundles need.
class PlanLookups {
public:
    static constexpr std::size_t bundlesPerBatch = 64;

    // The look-ups for the checks of the next bundle.
    PathLookups* forNextBundle() {
        if (!m_lookups || m_bundles == bundlesPerBatch) {
            m_lookups.emplace();
            m_bundles = 0;
        }
        ++m_bundles;
        return &*m_lookups;
    }

private:
    std::optional<PathLookups> m_lookups;
    std::size_t m_bundles = 0;
};

} // namespace quorvane
