#pragma once

// A registry of Audio Units that answers what the test put in. Header-only; users link
// quorvane_platform (or a library above it).

#include "Platform/AudioUnitRegistry.h"

#include <atomic>
#include <vector>

namespace quorvane::testing {

class FakeAudioUnitRegistry final : public AudioUnitRegistry {
public:
    explicit FakeAudioUnitRegistry(std::vector<AudioUnitComponent> components = {})
        : m_components(std::move(components)) {}

    std::vector<AudioUnitComponent> allComponents() const override {
        ++m_queries;
        return m_components;
    }

    int queries() const { return m_queries; }

private:
    std::vector<AudioUnitComponent> m_components;
    mutable std::atomic<int> m_queries{0};
};

} // namespace quorvane::testing
