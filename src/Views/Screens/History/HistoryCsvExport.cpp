#include "Views/Screens/History/HistoryCsvExport.h"

#include "Views/Screens/History/HistoryView.h"
#include "Views/Screens/Shared/CsvWriter.h"

#include <QCoreApplication>

namespace quorvane {

namespace {

// The local date as ISO 8601, which every spreadsheet reads as a date; empty for lines written
// before the moment was kept.
QString dateField(const std::optional<Timestamp>& date) {
    return date ? date->toDateTime().toLocalTime().date().toString(Qt::ISODate) : QString();
}

} // namespace

const QStringList& historyCsvHeader() {
    static const QStringList header{
        QStringLiteral("Time"),    QStringLiteral("Operation"),      QStringLiteral("Product"),
        QStringLiteral("Formats"), QStringLiteral("Format Bundles"), QStringLiteral("Detail"),
        QStringLiteral("Result"),  QStringLiteral("Date"),
    };
    return header;
}

std::vector<QStringList> historyCsvRecords(const std::vector<HistoryOperation>& operations) {
    std::vector<QStringList> records;
    records.reserve(operations.size());
    for (const HistoryOperation& operation : operations) {
        const bool counted = isProductTransaction(operation.kind) && !operation.items.empty();
        records.push_back({
            operation.time,
            rawValue(operation.kind),
            operation.plugin,
            operation.formats().join(QStringLiteral(" + ")),
            counted ? QString::number(operation.items.size()) : QString(),
            operation.summary(),
            historyOutcome(operation.kind),
            dateField(operation.items.front().date),
        });
    }
    return records;
}

QByteArray historyCsvDocument(const std::vector<HistoryItem>& history) {
    CsvWriter writer(historyCsvHeader());
    for (const QStringList& record : historyCsvRecords(groupHistoryOperations(history)))
        writer.addRow(record);
    return writer.bytes();
}

SaveRequest historySaveRequest() {
    SaveRequest request;
    request.title = QCoreApplication::translate("HistoryView", "Export Quorvane Operation History");
    request.defaultFileName = QStringLiteral("Quorvane-Operation-History.csv");
    request.nameFilter = QCoreApplication::translate("HistoryView", "Comma-separated values (*.csv)");
    request.defaultSuffix = QStringLiteral("csv");
    return request;
}

} // namespace quorvane
