#pragma once

#include "Support/BackgroundPool.h"

#include <memory>
#include <utility>

namespace quorvane {

// `value` shared; when `large`, it is freed on the background pool. Freeing tens of thousands of
// products takes tens of milliseconds, and the last holder to let go is often on the window's thread.
template <class T>
std::shared_ptr<const T> shareFreedOffThread(T value, bool large) {
    return {new T(std::move(value)), [large](const T* held) {
                if (!large) {
                    delete held;
                    return;
                }
                backgroundPool().start([held] { delete held; });
            }};
}

} // namespace quorvane
