#pragma once

#include <QString>

namespace quorvane {

// Locale-aware text services on ICU. The locale defaults to the environment's (LC_ALL,
// LC_COLLATE, LANG); the C/POSIX locale maps to "en_US_POSIX" so that it still collates.
// Safe to call from several threads; setTextLocale is meant for start-up and tests.

void setTextLocale(const QString& icuLocaleId);
QString textLocale();

// Case folding and removal of diacritics in the text locale (Turkish dotted and dotless i).
QString foldCaseAndDiacritics(const QString& text);
QString lowercasedLocaleIndependent(const QString& text);
QString uppercasedLocaleIndependent(const QString& text);

// <0, 0 or >0.
int localizedCaseInsensitiveCompare(const QString& a, const QString& b);
bool localizedCaseInsensitiveContains(const QString& haystack, const QString& needle);
// The text as localizedCaseInsensitiveContains compares it: for a non-empty needle,
// localizedCaseInsensitiveContains(h, n) is caseInsensitiveSearchKey(h).contains(
// caseInsensitiveSearchKey(n)). Lets a search over many texts fold each text once.
QString caseInsensitiveSearchKey(const QString& text);
// Case-insensitive and numeric-aware: "Plugin 9" sorts before "Plugin 10".
int localizedStandardCompare(const QString& a, const QString& b);
int localizedCompare(const QString& a, const QString& b);

} // namespace quorvane
