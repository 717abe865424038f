#pragma once

#include <QString>

namespace quorvane {

// Where an installation keeps the application, the helper and the helper's systemd units, relative
// to one prefix: bin/quorvane, libexec/quorvane/quorvane-helper and
// lib/systemd/system/com.orsolind.Quorvane.helper.{socket,service}, and the approval help page in
// share/quorvane. The build tree keeps the same layout.
struct InstallLayout {
    QString prefix;

    // The prefix above the running application's bin folder.
    static InstallLayout ofRunningApplication();

    QString helperExecutable() const;
    QString socketUnitFile() const;
    QString serviceUnitFile() const;
    // The local page that explains how the administrator approves the helper.
    QString approvalHelpPage() const;

    // The helper is an executable file in its place.
    bool hasHelperExecutable() const;
    // Both units are in their place.
    bool hasServiceUnits() const;

    bool operator==(const InstallLayout&) const = default;
};

} // namespace quorvane
