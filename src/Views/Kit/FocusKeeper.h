#pragma once

#include <QList>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QWidget;

namespace quorvane {

// Keeps the keyboard focus in a part of a screen that is rebuilt when the store or the helper
// changes. Without it the control the user just pressed is deleted with the old part and the focus
// falls to whatever Qt finds first, usually the sidebar. The window's memory of its focused control
// counts as the focus, so a rebuild behind an open alert gives the focus back when the alert closes.
//
// After the rebuild the focus goes to the same control (found by its place: the object names from
// the part down), else to the control at the same place among the part's tab stops, else to the
// nearest tab stop of `scope`. A replacement that is disabled for now (while the helper works)
// or missing for now lends the focus to its nearest neighbour and takes it back at a later rebuild
// that brings it back, unless the user has acted on that neighbour meanwhile.
class FocusKeeper {
public:
    // `part` stays while its content is rebuilt; `scope` gives the widget holding the neighbours
    // that may take the focus.
    FocusKeeper(QWidget* part, std::function<QWidget*()> scope);

    class Rebuild {
    public:
        explicit Rebuild(FocusKeeper& keeper) : m_keeper(keeper) {}
        Rebuild(const Rebuild&) = delete;
        Rebuild& operator=(const Rebuild&) = delete;
        ~Rebuild() { m_keeper.restore(); }

    private:
        FocusKeeper& m_keeper;
    };

    // Call before the part's controls are taken away. When the result goes, the focus is placed as
    // soon as the new controls show, once control is back in the event loop.
    [[nodiscard]] Rebuild rebuild() {
        save();
        return Rebuild(*this);
    }

private:
    struct Spot {
        // Per level from the part down: an object name and a place among the shown siblings of
        // that name.
        QList<std::pair<QString, qsizetype>> path;
        qsizetype stop = 0;
        // Per level below the part down to the control's parent: its place among that level's stops.
        QList<qsizetype> stopWithin;
    };

    void save();
    void restore();
    void place();

    QPointer<QWidget> m_part;
    std::function<QWidget*()> m_scope;
    std::optional<Spot> m_spot;
    // The spot of a replacement disabled or missing for now, the neighbour holding the focus for
    // it, and whether the user has acted on that neighbour since.
    std::optional<Spot> m_waiting;
    QPointer<QWidget> m_standIn;
    std::shared_ptr<bool> m_standInUsed = std::make_shared<bool>(false);
    QPointer<QObject> m_watch;
    bool m_placing = false;
    quint64 m_round = 0;
};

} // namespace quorvane
