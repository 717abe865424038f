#pragma once

#include "Model/HistoryItem.h"
#include "Model/HistoryOperation.h"

#include <QStringList>

#include <vector>

namespace quorvane {

// The operation-history CSV: one line per product action, newest first.
const QStringList& historyCsvHeader();
// The seven fields of each operation's line, unescaped.
std::vector<QStringList> historyCsvRecords(const std::vector<HistoryOperation>& operations);

} // namespace quorvane
