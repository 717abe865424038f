#pragma once

#include "Model/HistoryItem.h"
#include "Model/HistoryKind.h"

#include <QString>
#include <QStringList>
#include <QUuid>

#include <vector>

namespace quorvane {

// The neighbouring lines of one product transaction seen as one entry. Computed, never stored.
struct HistoryOperation {
    QUuid id; // the id of its first line
    QString plugin;
    HistoryKind kind = HistoryKind::scan;
    QString time;                   // the time of its first line
    std::vector<HistoryItem> items; // never empty, in the order given

    // Whether `line` continues this operation.
    bool accepts(const HistoryItem& line) const;
    // The formats the operation touched: the canonical ones in canonical order, then any other in
    // plain text order.
    QStringList formats() const;
    // The one sentence shown for the operation.
    QString summary() const;

    bool operator==(const HistoryOperation&) const = default;
};

// Joins only neighbouring lines; keeps the order of the lines.
std::vector<HistoryOperation> groupHistoryOperations(const std::vector<HistoryItem>& items);
// The number of operations after grouping the whole list, as the sidebar and About count them.
qsizetype countHistoryOperations(const std::vector<HistoryItem>& items);
// The number of operations of `kind` after grouping the whole list.
int historyOperationCount(HistoryKind kind, const std::vector<HistoryItem>& items);

} // namespace quorvane
