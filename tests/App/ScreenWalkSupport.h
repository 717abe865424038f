#pragma once

#include "App/RootView.h"
#include "IsolatedRootObjects.h"
#include "Persistence/StateFile.h"
#include "Platform/HomeTrash.h"
#include "Support/Fixtures/FixtureRecords.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QTest>
#include <QWidget>

// What the tests that walk the window's screens share.
namespace quorvane::testing {

// Something for every screen to show: a loose product of three formats (one for the cleanup presets
// to take), a protected one (whose CLAP bundle the presets leave out), a quarantined one, a bundle in the
// Trash ready to be recovered and a line of history. The paths lie beneath the isolated roots and home, and
// every bundle is on disk.
inline PersistedInventory inventoryOfEveryKind(const IsolatedRootObjects& isolated) {
    const SystemRoots roots = isolated.roots();
    const auto plugIns = [&](const QString& path) {
        return roots.path(QStringLiteral("/Library/Audio/Plug-Ins/") + path);
    };
    PersistedInventory state;
    Plugin loose = productOfRecords(
        QStringLiteral("Larkspur"), QStringLiteral("Fernhill"),
        {bundleRecord(QStringLiteral("AU"), plugIns(QStringLiteral("Components/Larkspur.component"))),
         bundleRecord(QStringLiteral("VST3"), plugIns(QStringLiteral("VST3/Larkspur.vst3"))),
         bundleRecord(QStringLiteral("VST2"), plugIns(QStringLiteral("VST/Larkspur.vst")))});
    Plugin kept = productOfRecords(
        QStringLiteral("Tidewater"), QStringLiteral("Oxbow"),
        {bundleRecord(QStringLiteral("AU"), plugIns(QStringLiteral("Components/Tidewater.component")), true),
         bundleRecord(QStringLiteral("CLAP"), plugIns(QStringLiteral("CLAP/Tidewater.clap")), true)});
    kept.status = PluginStatus::protected_;
    const QString operation = QStringLiteral("6F1C2B9E-3D4A-4E5F-8A7B-1C2D3E4F5A6B");
    const QString heldPath = plugIns(QStringLiteral("Components/Quillon.component"));
    Plugin held = productOfRecords(
        QStringLiteral("Quillon"), QStringLiteral("Marrow"),
        {withQuarantine(bundleRecord(QStringLiteral("AU"), heldPath), heldPath,
                        roots.path(QStringLiteral("/Library/Application Support/Quorvane/Quarantine/") +
                                   operation + QStringLiteral("/Quillon.component")),
                        operation)});
    held.status = PluginStatus::quarantined;
    state.plugins = {loose, kept, held};
    for (const Plugin& plugin : state.plugins)
        for (const PluginBundleRecord& record : *plugin.bundles)
            QDir().mkpath(record.quarantinePath.value_or(record.path));

    const TrashedBundleRecord binned =
        trashedVst3Record(QStringLiteral("Saltmarsh"), QStringLiteral("Fernhill"),
                          plugIns(QStringLiteral("VST3/Saltmarsh.vst3")),
                          HomeTrash::filesFolder(isolated.home()) + QStringLiteral("/Saltmarsh.vst3"));
    QDir().mkpath(binned.trashPath);
    state.trashedBundles = std::vector<TrashedBundleRecord>{binned};

    HistoryItem line;
    line.id = makeUuid();
    line.plugin = held.name;
    line.kind = HistoryKind::quarantine;
    line.detail = QStringLiteral("Moved to quarantine");
    line.time = QStringLiteral("09:41");
    line.transactionID = operation;
    line.format = QStringLiteral("AU");
    state.history = {line};
    return state;
}

// Whether `widget` is the one named `ancestorName` or lies within it.
inline bool within(const QWidget* widget, const QString& ancestorName) {
    for (const QWidget* at = widget; at; at = at->parentWidget()) {
        if (at->objectName() == ancestorName)
            return true;
    }
    return false;
}

// The shown screen of that name; screens being replaced linger hidden until deleted.
inline QWidget* shownScreen(const RootView& view, const QString& name) {
    for (QWidget* screen : view.findChildren<QWidget*>(name)) {
        if (screen->isVisible())
            return screen;
    }
    return nullptr;
}

// Brings out everything a screen shows once something is chosen, with the keyboard as a user
// would: a table's first row, the first Trash record, or the cleanup preview. Returns the screen as
// shown then.
inline QWidget* chooseWithKeyboard(const RootView& view, const QString& name) {
    QWidget* screen = shownScreen(view, name);
    if (!screen)
        return nullptr;
    if (auto* table = screen->findChild<QAbstractItemView*>(QStringLiteral("pluginTableView"))) {
        table->setFocus();
        QTest::keyClick(table, Qt::Key_Down);
        QTest::keyClick(table, Qt::Key_Space);
    } else if (auto* toggle = screen->findChild<QCheckBox*>(QStringLiteral("selectToggle"))) {
        toggle->setFocus();
        QTest::keyClick(toggle, Qt::Key_Space);
    } else if (auto* preview = screen->findChild<QWidget*>(QStringLiteral("buildPreviewButton"))) {
        preview->setFocus();
        QTest::keyClick(preview, Qt::Key_Space);
    }
    QApplication::processEvents();
    return shownScreen(view, name);
}

} // namespace quorvane::testing
