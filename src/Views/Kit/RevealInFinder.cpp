#include "Views/Kit/RevealInFinder.h"

#include "Support/Paths.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace quorvane {

namespace {

std::function<void(const QString&)>& folderNotOpenedHandler() {
    static std::function<void(const QString&)> handler;
    return handler;
}

// Hands the folder to the desktop's default handler; reports it when there is none.
void openWithDesktop(const QString& folder) {
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        reportFolderNotOpened(folder);
}

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
                                 openWithDesktop(parent);
                             process->deleteLater();
                         });
        QObject::connect(process, &QProcess::errorOccurred, process,
                         [process, parent](QProcess::ProcessError error) {
                             if (error == QProcess::FailedToStart) {
                                 openWithDesktop(parent);
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

    void openFolder(const QString& path) override { openWithDesktop(path); }
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

void setFolderNotOpenedHandler(std::function<void(const QString& folder)> handler) {
    folderNotOpenedHandler() = std::move(handler);
}

void reportFolderNotOpened(const QString& folder) {
    if (folderNotOpenedHandler())
        folderNotOpenedHandler()(folder);
}

OperationNotice folderNotOpenedNotice(const QString& folder) {
    return OperationNotice::make(
        QCoreApplication::translate("RevealInFinder", "Folder Not Opened"),
        QCoreApplication::translate(
            "RevealInFinder",
            "Quorvane could not open the folder %1. No file manager is available to show it.")
            .arg(folder),
        NoticeStyle::warning);
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
