#include "HelperClient/InstallLayout.h"

#include "Platform/SystemdServiceRegistry.h"
#include "Support/Paths.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace quorvane {

InstallLayout InstallLayout::ofRunningApplication() {
    return InstallLayout{deletingLastPathComponent(standardizedPath(QCoreApplication::applicationDirPath()))};
}

QString InstallLayout::helperExecutable() const {
    return prefix + QStringLiteral("/libexec/quorvane/quorvane-helper");
}

QString InstallLayout::socketUnitFile() const {
    return prefix + QStringLiteral("/lib/systemd/system/") + SystemdServiceRegistry::socketUnit();
}

QString InstallLayout::serviceUnitFile() const {
    return prefix + QStringLiteral("/lib/systemd/system/") + SystemdServiceRegistry::serviceUnit();
}

QString InstallLayout::approvalHelpPage() const {
    return prefix + QStringLiteral("/share/quorvane/helper-approval.html");
}

bool InstallLayout::hasHelperExecutable() const {
    const QFileInfo helper(helperExecutable());
    return helper.isFile() && helper.isExecutable();
}

bool InstallLayout::hasServiceUnits() const {
    return QFileInfo(socketUnitFile()).isFile() && QFileInfo(serviceUnitFile()).isFile();
}

} // namespace quorvane
