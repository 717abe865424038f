#include "Views/Kit/RevealInFinder.h"

#include "Support/Paths.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace quorvane {

namespace {

class SystemFileManager : public FileManager {
public:
    void selectItem(const QString& path) override {
        // The freedesktop file-manager interface selects the item; without a file manager that
        // answers it, the parent folder is opened instead.
        auto* process = new QProcess;
        const QString parent = deletingLastPathComponent(path);
        QObject::connect(process, &QProcess::finished, process,
                         [process, parent](int code, QProcess::ExitStatus status) {
                             if (code != 0 || status != QProcess::NormalExit)
                                 QDesktopServices::openUrl(QUrl::fromLocalFile(parent));
                             process->deleteLater();
                         });
        QObject::connect(process, &QProcess::errorOccurred, process,
                         [process, parent](QProcess::ProcessError error) {
                             if (error == QProcess::FailedToStart) {
                                 QDesktopServices::openUrl(QUrl::fromLocalFile(parent));
                                 process->deleteLater();
                             }
                         });
        process->start(
            QStringLiteral("dbus-send"),
            {QStringLiteral("--session"), QStringLiteral("--print-reply"),
             QStringLiteral("--dest=org.freedesktop.FileManager1"), QStringLiteral("--type=method_call"),
             QStringLiteral("/org/freedesktop/FileManager1"),
             QStringLiteral("org.freedesktop.FileManager1.ShowItems"),
             QStringLiteral("array:string:") + QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded),
             QStringLiteral("string:")});
    }

    void openFolder(const QString& path) override { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }
};

std::unique_ptr<FileManager>& installed() {
    static std::unique_ptr<FileManager> manager = std::make_unique<SystemFileManager>();
    return manager;
}

} // namespace

FileManager& fileManager() {
    return *installed();
}

void setFileManager(std::unique_ptr<FileManager> manager) {
    installed() = manager ? std::move(manager) : std::make_unique<SystemFileManager>();
}

void revealInFinder(const QString& path) {
    const QString standardized = standardizedPath(path);
    if (QFileInfo::exists(standardized))
        fileManager().selectItem(standardized);
    else
        fileManager().openFolder(deletingLastPathComponent(standardized));
}

void openParentFolder(const QString& path) {
    fileManager().openFolder(deletingLastPathComponent(standardizedPath(path)));
}

} // namespace quorvane
