#pragma once

#include <QColor>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class QBoxLayout;
class QHBoxLayout;
class QLayout;
class QSplitter;
class QVBoxLayout;
class QWidget;

namespace quorvane {

// Layout pieces the inventory screens share.

// The screen's own column: its sections `spacing` apart inside 24 pixels of padding.
QVBoxLayout* makeScreenColumn(QWidget* screen, int spacing = 18);

// One metric card as the screen computes it.
struct MetricSpec {
    QString icon;
    QString title;
    QString value;
    QString detail;
    QColor color;
    bool operator==(const MetricSpec&) const = default;
};

// The row of metric cards, 14 pixels apart, added to `column`; filled by replaceMetrics.
QHBoxLayout* makeMetricRow(QVBoxLayout* column);
void replaceMetrics(QHBoxLayout* row, const std::vector<MetricSpec>& cards);

// Takes every widget and nested layout out of `layout`, keeping the layout itself. The widgets leave
// the screen at once and are deleted once control is back in the event loop.
void clearLayout(QLayout* layout);

// A panel named `objectName` holding the empty state of a list, centred, at least `minimumHeight` tall.
QWidget* makeEmptyState(const QString& objectName, const QString& symbol, const QString& title,
                        const QString& description, QWidget* parent, int minimumHeight = 0);

// A pane of `split`: a panel named `objectName` holding a column padded 18, its items `spacing` apart.
QVBoxLayout* addSplitPane(QSplitter* split, const QString& objectName, int spacing);

// The inspector beside a plugin table, in a split: at least 300 pixels wide, ideally 330, and a
// fifth of a split wide enough for that, so that a large window does not give every pixel to the
// table; once the user drags the divider, the width is theirs.
void sizeInspector(QWidget* inspector);

// The least width of a plugin table beside its inspector: what the smallest window leaves it once
// the inspector has its own least width, so that the two never overlap.
inline constexpr int pluginTableMinimumWidth = 560;

// The block under the list header that holds a screen's batch bar and its reason line, added to
// `column`; returns the block's own column. It keeps the height of a bar and one reason line while
// nothing is selected, so that the list below stays where it is, under the pointer, when a
// selection starts or ends.
QVBoxLayout* addBatchArea(QVBoxLayout* column, QWidget* screen);
int reservedBatchHeight();

// The privileged-action chip of a page header: `readyText` with a green shield while the helper is
// ready, "Plugin Management required" with an amber lock otherwise. Named "statusChip".
QWidget* makeStatusChip(bool ready, const QString& readyText, QWidget* parent);
inline const QString pluginManagementRequiredText = QStringLiteral("Plugin Management required");

// A caption-2 line in amber, full width: the reason a batch action is unavailable.
QWidget* makeBatchReasonLine(const QString& text, QWidget* parent);

// Fills `batch` with the bar of a selection: "`count` `noun`s selected", the screen's `buttons` and
// a "Clear Selection" button (named "clearSelectionButton") that runs `onClear`; then the reason
// line when there is one.
void addBatchBar(QVBoxLayout* batch, int count, const QString& noun, const std::vector<QWidget*>& buttons,
                 std::function<void()> onClear, const std::optional<QString>& reasonLine, QWidget* screen);
inline const QString clearSelectionText = QStringLiteral("Clear Selection");

// Refills `slot` with the page header whose accessory is the privileged-action chip above.
void replaceStatusHeader(QVBoxLayout* slot, const QString& title, const QString& subtitle, bool ready,
                         const QString& readyText, QWidget* screen);

// Adds an amber bar named `objectName` to `bars` when there is a `text` to show.
void addAmberBar(QVBoxLayout* bars, const std::optional<QString>& text, const QString& objectName,
                 QWidget* parent);

} // namespace quorvane
