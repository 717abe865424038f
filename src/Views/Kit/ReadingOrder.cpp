#include "Views/Kit/ReadingOrder.h"

#include <QApplication>
#include <QLayout>
#include <QList>
#include <QScrollArea>
#include <QSet>
#include <QSplitter>
#include <QWidget>

namespace quorvane {

namespace {

void collect(QWidget* widget, QList<QWidget*>& order, QSet<QWidget*>& seen);

void collectLayout(QLayout* layout, QList<QWidget*>& order, QSet<QWidget*>& seen) {
    for (int index = 0; index < layout->count(); ++index) {
        QLayoutItem* item = layout->itemAt(index);
        if (QWidget* child = item->widget())
            collect(child, order, seen);
        else if (QLayout* nested = item->layout())
            collectLayout(nested, order, seen);
    }
}

// Every widget under `widget` in reading order: first what its layout places, in the layout's
// order, then the children no layout places (a scroll area's page, a split's panes), as made.
void collect(QWidget* widget, QList<QWidget*>& order, QSet<QWidget*>& seen) {
    // A dialog made over the window is a window of its own, with its own order.
    if (seen.contains(widget) || (!seen.isEmpty() && widget->isWindow()))
        return;
    seen.insert(widget);
    order.append(widget);
    if (QLayout* layout = widget->layout())
        collectLayout(layout, order, seen);
    // A split's panes in their order on screen; raising a pane reorders the children.
    if (auto* split = qobject_cast<QSplitter*>(widget)) {
        for (int index = 0; index < split->count(); ++index)
            collect(split->widget(index), order, seen);
    }
    for (QObject* object : widget->children()) {
        if (auto* child = qobject_cast<QWidget*>(object))
            collect(child, order, seen);
    }
}

} // namespace

QList<QWidget*> widgetsInReadingOrder(QWidget* root) {
    QList<QWidget*> order;
    QSet<QWidget*> seen;
    collect(root, order, seen);
    return order;
}

bool isTabStop(const QWidget* widget) {
    return widget->isVisible() && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus) &&
           !widget->focusProxy();
}

void giveFocus(QWidget* widget, Qt::FocusReason reason) {
    widget->setFocus(reason);
    for (QWidget* ancestor = widget->parentWidget(); ancestor; ancestor = ancestor->parentWidget()) {
        if (auto* scroll = qobject_cast<QScrollArea*>(ancestor))
            scroll->ensureWidgetVisible(widget, 0, 12);
    }
}

bool focusInReadingOrder(QWidget* root, bool next) {
    const QList<QWidget*> order = widgetsInReadingOrder(root);
    const auto count = order.size();
    // The focused control, or the nearest of its ancestors in the order (a field's inner editor).
    qsizetype at = -1;
    for (QWidget* focused = QApplication::focusWidget(); focused && at < 0; focused = focused->parentWidget())
        at = order.indexOf(focused);
    for (qsizetype step = 1; step <= count; ++step) {
        const qsizetype start = at < 0 ? (next ? -1 : count) : at;
        QWidget* candidate = order[((start + (next ? step : -step)) % count + count) % count];
        if (!isTabStop(candidate) || candidate == QApplication::focusWidget())
            continue;
        giveFocus(candidate, next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return true;
    }
    return false;
}

} // namespace quorvane
