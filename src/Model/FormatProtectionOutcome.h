#pragma once

#include <QString>

namespace quorvane {

// The result of Plugin::applyFormatProtection.
struct FormatProtectionOutcome {
    enum class Kind {
        changed,        // the record's isProtected was set to the requested value
        unchanged,      // the record already had the requested value; nothing was written
        recordNotFound, // another product, or no stored record has the selected key
        mandatoryShell, // a mandatory shell's protection cannot be changed
    };

    Kind kind = Kind::recordNotFound;
    // The matched record's format exactly as stored; empty for recordNotFound and mandatoryShell.
    QString format;

    static FormatProtectionOutcome changed(const QString& format) { return {Kind::changed, format}; }
    static FormatProtectionOutcome unchanged(const QString& format) { return {Kind::unchanged, format}; }
    static FormatProtectionOutcome recordNotFound() { return {Kind::recordNotFound, {}}; }
    static FormatProtectionOutcome mandatoryShell() { return {Kind::mandatoryShell, {}}; }

    bool operator==(const FormatProtectionOutcome&) const = default;
};

} // namespace quorvane
