#pragma once

#include "Model/Plugin.h"
#include "Model/PluginBundleRecord.h"

#include <QString>

#include <functional>
#include <optional>

namespace quorvane {

// A two-way binding to state that lives elsewhere (the root view's or a screen's): a view reads
// the value through `get` and writes the user's choice through `set`.
template <class T>
struct Binding {
    std::function<T()> get;
    std::function<void(T)> set;
};

// Kit views decide nothing: a permission test reaches them as a closure giving the reason that
// blocks the action (none means allowed), and every action as a closure.
using PluginReason = std::function<std::optional<QString>(const Plugin&)>;
using BundleReason = std::function<std::optional<QString>(const Plugin&, const PluginBundleRecord&)>;
using PluginAction = std::function<void(const Plugin&)>;
using BundleAction = std::function<void(const Plugin&, const PluginBundleRecord&)>;
// true protects, false removes protection.
using SetProtection = std::function<void(const Plugin&, bool)>;
using SetBundleProtection = std::function<void(const Plugin&, const PluginBundleRecord&, bool)>;

} // namespace quorvane
