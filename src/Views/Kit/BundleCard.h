#pragma once

#include "Views/Kit/Binding.h"
#include "Views/Kit/RoundedBox.h"

class QLabel;
class QLayout;
class QVBoxLayout;

namespace quorvane {

class KitButton;

// One format bundle in a detail pane: a well named "bundleCard" that carries the bundle's id as its
// "bundleId" property and stacks its rows `spacing` apart inside 12-pixel margins. The detail panes
// give it their own widgets, made with the card as parent, header first.
class BundleCard : public RoundedBox {
    Q_OBJECT
public:
    BundleCard(const PluginBundleRecord& bundle, int spacing, QWidget* parent = nullptr);

    // The header row: `title` (named "bundleFormat") leading, `badge` trailing.
    void addHeader(QLabel* title, QWidget* badge);
    void addRow(QWidget* row);
    void addRow(QLayout* row);

private:
    QVBoxLayout* m_column;
};

// A full-width bordered button with the folder symbol that reveals `path`.
KitButton* makeRevealButton(const QString& text, const QString& path, QWidget* parent);
// "Reveal <format> in Finder" as such a button.
KitButton* makeRevealFormatButton(const QString& format, const QString& path, QWidget* parent);
// Where a bundle is now: its quarantine path when it has one, else its path.
QString currentBundleLocation(const PluginBundleRecord& bundle);

} // namespace quorvane
