#include "App/InstanceLock.h"

#include "Persistence/StateFileLocations.h"
#include "Support/Paths.h"

#include <QDir>
#include <QGuiApplication>
#include <QMessageBox>

#include <cerrno>
#include <cstdio>

namespace quorvane {

std::expected<InstanceLock, QString> InstanceLock::acquire(const QString& applicationSupport) {
    InstanceLock instance;
    const QString path = instanceLockFileURL(applicationSupport);
    if (path.isEmpty())
        return instance;
    const QString folder = deletingLastPathComponent(path);
    if (!QDir().mkpath(folder))
        return std::unexpected(QStringLiteral("Quorvane cannot create its data folder %1.").arg(folder));
    auto file = TransactionLockFile::tryAcquire(path);
    if (!file) {
        if (file.error().code == EWOULDBLOCK)
            return std::unexpected(
                QStringLiteral("Quorvane is already running with the data folder %1. Use its window; only "
                               "one can run on a data folder at a time.")
                    .arg(folder));
        return std::unexpected(QStringLiteral("Quorvane cannot lock its data folder %1: %2")
                                   .arg(folder, file.error().description()));
    }
    instance.m_file = std::move(*file);
    return instance;
}

void reportStartFailure(const QString& text) {
    std::fprintf(stderr, "%s\n", qPrintable(text));
    const QString platform = QGuiApplication::platformName();
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr ||
        platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return;
    QMessageBox::critical(nullptr, QStringLiteral("Quorvane"), text);
}

} // namespace quorvane
