#pragma once

#include "App/RootView.h"
#include "Persistence/StateFile.h"
#include "Support/Fixtures/FixtureRecords.h"

#include <QWidget>

// What the tests that walk the window's screens share.
namespace quorvane::testing {

// A loose product of two formats, a protected one and a quarantined one.
inline PersistedInventory inventoryOfEveryKind() {
    PersistedInventory state;
    Plugin loose = productOfRecords(
        QStringLiteral("Larkspur"), QStringLiteral("Fernhill"),
        {bundleRecord(QStringLiteral("AU"),
                      QStringLiteral("/Library/Audio/Plug-Ins/Components/Larkspur.component"), false),
         bundleRecord(QStringLiteral("VST3"), QStringLiteral("/Library/Audio/Plug-Ins/VST3/Larkspur.vst3"),
                      false)});
    Plugin kept = productOfRecords(
        QStringLiteral("Tidewater"), QStringLiteral("Oxbow"),
        {bundleRecord(QStringLiteral("AU"),
                      QStringLiteral("/Library/Audio/Plug-Ins/Components/Tidewater.component"), true)});
    kept.status = PluginStatus::protected_;
    Plugin held = productOfRecords(
        QStringLiteral("Quillon"), QStringLiteral("Marrow"),
        {quarantinedUnderOperation(
            bundleRecord(QStringLiteral("AU"),
                         QStringLiteral("/Library/Audio/Plug-Ins/Components/Quillon.component"), false),
            QStringLiteral("6F1C2B9E-3D4A-4E5F-8A7B-1C2D3E4F5A6B"))});
    held.status = PluginStatus::quarantined;
    state.plugins = {loose, kept, held};
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

} // namespace quorvane::testing
