#pragma once

#include "Model/HistoryItem.h"
#include "Model/HistoryOperation.h"

#include "Views/Screens/Shared/ScreenServices.h"

#include <QByteArray>
#include <QStringList>

#include <vector>

namespace quorvane {

// The operation-history CSV: one line per product action, newest first.
const QStringList& historyCsvHeader();
// The eight fields of each operation's line, unescaped.
std::vector<QStringList> historyCsvRecords(const std::vector<HistoryOperation>& operations);
// The whole file for a history, newest line first.
QByteArray historyCsvDocument(const std::vector<HistoryItem>& history);
// The save panel of the export.
SaveRequest historySaveRequest();

} // namespace quorvane
