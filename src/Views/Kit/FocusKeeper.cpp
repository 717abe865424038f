#include "Views/Kit/FocusKeeper.h"

#include "Views/Kit/ReadingOrder.h"

#include <QEvent>
#include <QMetaObject>
#include <QWidget>

#include <algorithm>

namespace quorvane {

namespace {

bool isShownChild(const QObject* object) {
    const auto* widget = qobject_cast<const QWidget*>(object);
    return widget && !widget->isHidden() && !widget->isWindow();
}

// A control's place under the part: per level, its name and its place among its shown siblings of
// that name. The part's old content is hidden as it goes, so the old and the new control have the
// same place.
using Step = std::pair<QString, qsizetype>;

QList<Step> pathFrom(const QWidget* part, const QWidget* widget) {
    QList<Step> path;
    for (const QWidget* at = widget; at && at != part; at = at->parentWidget()) {
        Step step{at->objectName(), 0};
        for (const QObject* sibling : at->parentWidget()->children()) {
            if (sibling == at)
                break;
            if (isShownChild(sibling) && sibling->objectName() == step.first)
                ++step.second;
        }
        path.prepend(step);
    }
    return path;
}

// The widget at `path` under `part`; with `depth`, the number of levels found (the deepest found
// is returned when a level is missing), else nothing unless the whole path is there.
QWidget* find(QWidget* part, const QList<Step>& path, qsizetype* depth = nullptr) {
    QWidget* at = part;
    if (depth)
        *depth = 0;
    for (const Step& wanted : path) {
        QWidget* next = nullptr;
        qsizetype index = 0;
        for (QObject* child : at->children()) {
            if (!isShownChild(child) || child->objectName() != wanted.first)
                continue;
            if (index++ == wanted.second) {
                next = static_cast<QWidget*>(child);
                break;
            }
        }
        if (!next)
            return depth ? at : nullptr;
        at = next;
        if (depth)
            ++*depth;
    }
    return at;
}

QList<QWidget*> tabStops(QWidget* root) {
    QList<QWidget*> stops = widgetsInReadingOrder(root);
    stops.removeIf([](const QWidget* widget) { return !isTabStop(widget); });
    return stops;
}

// The tab stop of `scope` nearest to `from` in reading order, the ones before it first.
QWidget* nearestStop(QWidget* scope, QWidget* from) {
    const QList<QWidget*> order = widgetsInReadingOrder(scope);
    const qsizetype at = order.indexOf(from);
    if (at < 0)
        return nullptr;
    for (qsizetype index = at - 1; index >= 0; --index) {
        if (isTabStop(order[index]) && !from->isAncestorOf(order[index]))
            return order[index];
    }
    for (qsizetype index = at + 1; index < order.size(); ++index) {
        if (isTabStop(order[index]) && !from->isAncestorOf(order[index]))
            return order[index];
    }
    return nullptr;
}

// Notes when the user acts on a stand-in: from then on the focus is theirs, not the keeper's.
class UseWatch : public QObject {
public:
    UseWatch(QWidget* standIn, std::shared_ptr<bool> used) : QObject(standIn), m_used(std::move(used)) {
        // A table's clicks reach its viewport.
        standIn->installEventFilter(this);
        for (QWidget* inner : standIn->findChildren<QWidget*>())
            inner->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::MouseButtonPress)
            *m_used = true;
        return false;
    }

private:
    std::shared_ptr<bool> m_used;
};

} // namespace

FocusKeeper::FocusKeeper(QWidget* part, std::function<QWidget*()> scope)
    : m_part(part), m_scope(std::move(scope)) {}

void FocusKeeper::save() {
    // A second rebuild before the first one's controls are shown keeps the first one's spot.
    if (m_placing || !m_part)
        return;
    m_spot.reset();
    QWidget* focused = m_part->window()->focusWidget();
    if (focused && focused == m_standIn && !*m_standInUsed) {
        m_spot = m_waiting;
    } else if (focused && m_part->isAncestorOf(focused)) {
        const QList<QWidget*> stops = tabStops(m_part);
        Spot spot{pathFrom(m_part, focused), std::max<qsizetype>(0, stops.indexOf(focused)), {}};
        for (QWidget* at = focused->parentWidget(); at && at != m_part; at = at->parentWidget())
            spot.stopWithin.prepend(std::max<qsizetype>(0, tabStops(at).indexOf(focused)));
        m_spot = spot;
    }
    m_waiting.reset();
    m_standIn = nullptr;
    delete m_watch;
}

void FocusKeeper::restore() {
    if (!m_spot || !m_part)
        return;
    // The new controls show once control is back in the event loop (as a layout shows what is
    // added to it); they are looked for then, after the last rebuild's.
    m_placing = true;
    QMetaObject::invokeMethod(
        m_part,
        [this, round = ++m_round] {
            if (round == m_round)
                place();
        },
        Qt::QueuedConnection);
}

void FocusKeeper::place() {
    m_placing = false;
    if (!m_spot || !m_part)
        return;
    const Spot spot = *std::exchange(m_spot, std::nullopt);
    QWidget* same = find(m_part, spot.path);
    if (same && same->isVisible() && same->isEnabled() && same->focusPolicy() != Qt::NoFocus) {
        giveFocus(same, Qt::OtherFocusReason);
        return;
    }
    QWidget* scope = m_scope ? m_scope() : nullptr;
    const QList<QWidget*> stops = tabStops(m_part);
    QWidget* target = same ? nearestStop(m_part, same) : nullptr;
    if (!same && !stops.isEmpty()) {
        // The control was replaced by another of a different name: the stop at its place within
        // the deepest of its old ancestors still there (a card's control), else within the part.
        qsizetype depth = 0;
        QWidget* kept = find(m_part, spot.path, &depth);
        const QList<QWidget*> keptStops = depth > 0 ? tabStops(kept) : QList<QWidget*>{};
        target = keptStops.isEmpty() ? stops[std::min(spot.stop, stops.size() - 1)]
                                     : keptStops[std::min(spot.stopWithin[depth - 1], keptStops.size() - 1)];
    }
    if (!target && scope)
        target = nearestStop(scope, m_part);
    // The control is disabled or not there for now (the helper is working, the part is between two
    // states): a neighbour holds the focus for it until a later rebuild brings it back.
    if ((same || stops.isEmpty()) && target) {
        m_waiting = spot;
        m_standIn = target;
        m_standInUsed = std::make_shared<bool>(false);
        m_watch = new UseWatch(target, m_standInUsed);
    }
    if (target)
        giveFocus(target, Qt::OtherFocusReason);
}

} // namespace quorvane
