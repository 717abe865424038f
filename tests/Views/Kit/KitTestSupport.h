#pragma once

#include "Model/Plugin.h"
#include "Views/Kit/RevealInFinder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QUuid>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace quorvane::testing {

inline PluginBundleRecord bundle(const QString& format, const QString& path, bool isProtected = false) {
    PluginBundleRecord record;
    record.format = format;
    record.architecture = QStringLiteral("Universal");
    record.size = QStringLiteral("12 MB");
    record.path = path;
    record.isProtected = isProtected;
    return record;
}

inline PluginBundleRecord quarantinedBundle(const QString& format, const QString& path) {
    PluginBundleRecord record = bundle(format, path);
    record.originalPath = path;
    record.quarantinePath =
        QStringLiteral("/Library/Application Support/Quorvane/Quarantine/OP-1/") + path.section(u'/', -1);
    record.quarantineOperationID = QStringLiteral("OP-1");
    return record;
}

inline Plugin plugin(const QString& name, std::vector<PluginBundleRecord> bundles = {},
                     PluginStatus status = PluginStatus::ok) {
    Plugin product;
    product.id = QUuid::createUuid();
    product.name = name;
    product.manufacturer = QStringLiteral("Fernhill Audio");
    product.version = QStringLiteral("1.2");
    for (const auto& record : bundles)
        product.formats << record.format;
    product.architecture = QStringLiteral("Universal");
    product.size = QStringLiteral("24 MB");
    product.path = bundles.empty()
                       ? QStringLiteral("/Library/Audio/Plug-Ins/VST3/") + name + QStringLiteral(".vst3")
                       : bundles.front().path;
    product.status = status;
    for (const auto& record : bundles)
        product.isProtected = product.isProtected || record.isProtected;
    if (!bundles.empty())
        product.bundles = std::move(bundles);
    return product;
}

template <class T = QWidget>
T* child(const QObject* root, const QString& name) {
    return root->findChild<T*>(name);
}

template <class T = QWidget>
std::vector<T*> children(const QObject* root, const QString& name) {
    std::vector<T*> result;
    for (T* found : root->findChildren<T*>(name))
        result.push_back(found);
    return result;
}

inline QStringList labelTexts(const QObject* root) {
    QStringList texts;
    for (QLabel* label : root->findChildren<QLabel*>()) {
        if (!label->text().isEmpty())
            texts << label->text();
    }
    return texts;
}

// Runs deferred deletions so closed dialogs are gone.
inline void settle() {
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

inline QMessageBox* openAlert(const QObject* root) {
    for (QMessageBox* box : root->findChildren<QMessageBox*>()) {
        if (box->isVisible())
            return box;
    }
    return nullptr;
}

// Presses the alert's button of that name ("cancelButton" or "actionButton").
inline void press(QMessageBox* box, const QString& name) {
    ASSERT_NE(box, nullptr);
    auto* button = box->findChild<QPushButton*>(name);
    ASSERT_NE(button, nullptr);
    button->click();
    settle();
}

struct FileManagerCall {
    QString kind; // "select" or "open"
    QString path;
    bool operator==(const FileManagerCall&) const = default;
};

class RecordingFileManager : public FileManager {
public:
    explicit RecordingFileManager(std::vector<FileManagerCall>& calls) : m_calls(calls) {}
    void selectItem(const QString& path) override { m_calls.push_back({QStringLiteral("select"), path}); }
    void openFolder(const QString& path) override { m_calls.push_back({QStringLiteral("open"), path}); }

private:
    std::vector<FileManagerCall>& m_calls;
};

// Installs a recorder for the test's lifetime.
class FileManagerRecorder {
public:
    FileManagerRecorder() { setFileManager(std::make_unique<RecordingFileManager>(calls)); }
    ~FileManagerRecorder() { setFileManager(nullptr); }
    std::vector<FileManagerCall> calls;
};

} // namespace quorvane::testing
