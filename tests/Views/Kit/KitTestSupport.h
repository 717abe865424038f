#pragma once

#include "Model/Plugin.h"
#include "Support/Fixtures/FixtureRecords.h"
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
    return bundleRecord(format, path, isProtected);
}

inline PluginBundleRecord quarantinedBundle(const QString& format, const QString& path) {
    return quarantinedUnderOperation(bundle(format, path), QStringLiteral("OP-1"));
}

// Given no records: a system VST3 path and none stored.
inline Plugin plugin(const QString& name, std::vector<PluginBundleRecord> bundles = {},
                     PluginStatus status = PluginStatus::ok) {
    Plugin product = productOfRecords(name, QStringLiteral("Fernhill Audio"), std::move(bundles),
                                      {.version = QStringLiteral("1.2"), .size = QStringLiteral("24 MB")});
    product.status = status;
    if (product.bundles->empty()) {
        product.path = libraryVst3Path(name);
        product.bundles.reset();
    }
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

// Checks that `alert` is open with `title` above `message` and `action` on its action button. Call it
// through ASSERT_NO_FATAL_FAILURE so that a missing alert ends the test.
inline void expectAlert(QMessageBox* alert, const QString& title, const QString& message,
                        const QString& action) {
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), title);
    EXPECT_EQ(alert->informativeText(), message);
    auto* button = alert->findChild<QPushButton*>(QStringLiteral("actionButton"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), action);
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
