#pragma once

// Pins the locale of folding and case-insensitive matching for one test and restores the previous
// one afterwards. Header-only; users link quorvane_support (or a library above it).

#include "Support/LocaleText.h"

namespace quorvane::testing {

class PinnedTextLocale {
public:
    explicit PinnedTextLocale(const QString& locale = QStringLiteral("en_US")) : m_previous(textLocale()) {
        setTextLocale(locale);
    }
    ~PinnedTextLocale() { setTextLocale(m_previous); }
    PinnedTextLocale(const PinnedTextLocale&) = delete;
    PinnedTextLocale& operator=(const PinnedTextLocale&) = delete;

private:
    QString m_previous;
};

} // namespace quorvane::testing
