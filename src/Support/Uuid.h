#pragma once

#include <QString>
#include <QUuid>

#include <optional>

namespace quorvane {

// 36 upper-case characters in the hyphenated 8-4-4-4-12 form.
QString uuidText(const QUuid& uuid);
// Accepts only the 36-character hyphenated form, in either case: no braces, no other forms.
std::optional<QUuid> parseUuid(const QString& text);
QUuid makeUuid();

} // namespace quorvane
