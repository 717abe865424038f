#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

namespace quorvane {

inline double milliseconds(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

inline double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The medians of `screen` and `baseline` over `repetitions` runs, run in turns so that a slower spell
// of a shared machine falls on both.
inline std::pair<double, double> medianPair(const std::function<void()>& screen,
                                            const std::function<void()>& baseline, int repetitions) {
    std::vector<double> screenTimes;
    std::vector<double> baselineTimes;
    for (int run = 0; run < repetitions; ++run) {
        screenTimes.push_back(milliseconds(screen));
        baselineTimes.push_back(milliseconds(baseline));
    }
    return {median(screenTimes), median(baselineTimes)};
}

// Lets the pending work run, then paints `widget` whole, as a screen shown on a display would be.
inline void settleAndPaint(QWidget& widget) {
    QApplication::processEvents();
    (void)widget.grab();
}

inline void report(const char* what, double screen, double baseline, double targetRatio) {
    const double ratio = screen / std::max(baseline, 1e-6);
    std::printf("%-34s %10.2f ms %10.2f ms %8.2fx  %s (target <= %.1fx)\n", what, screen, baseline, ratio,
                ratio <= targetRatio ? "ok" : "OVER", targetRatio);
}

} // namespace quorvane
