#include "Model/HistoryOperation.h"

#include "Model/Identity.h"
#include "Support/LocaleText.h"
#include "Support/PlainText.h"
#include "Support/StableSort.h"

#include <algorithm>

namespace quorvane {

namespace {

bool mentionsAtomic(const HistoryItem& item) {
    return localizedCaseInsensitiveContains(item.detail, QStringLiteral("atomic"));
}

// The stored format when there is one, else the first canonical format the detail names as
// "<format> bundle".
std::optional<QString> formatOf(const HistoryItem& item) {
    if (item.format && !item.format->isEmpty())
        return *item.format;
    for (const QString& format : canonicalPluginFormats()) {
        if (localizedCaseInsensitiveContains(item.detail, format + QStringLiteral(" bundle")))
            return format;
    }
    return std::nullopt;
}

bool containsPlain(const QStringList& list, const QString& text) {
    return std::any_of(list.begin(), list.end(),
                       [&](const QString& entry) { return plainEqual(entry, text); });
}

} // namespace

bool HistoryOperation::accepts(const HistoryItem& line) const {
    if (!isProductTransaction(line.kind))
        return false;
    if (kind != line.kind)
        return false;
    if (!plainEqual(plugin, line.plugin))
        return false;
    if (line.transactionID) {
        return !items.empty() && items.front().transactionID &&
               plainEqual(*items.front().transactionID, *line.transactionID);
    }
    const bool noneHasTransaction = std::none_of(
        items.begin(), items.end(), [](const HistoryItem& item) { return item.transactionID.has_value(); });
    return noneHasTransaction && plainEqual(time, line.time) && mentionsAtomic(line) &&
           std::all_of(items.begin(), items.end(), mentionsAtomic);
}

QStringList HistoryOperation::formats() const {
    QStringList found;
    for (const HistoryItem& item : items) {
        if (const auto format = formatOf(item); format && !containsPlain(found, *format))
            found.append(*format);
    }
    QStringList result;
    for (const QString& format : canonicalPluginFormats()) {
        if (containsPlain(found, format))
            result.append(format);
    }
    QStringList others;
    for (const QString& format : found) {
        if (!containsPlain(canonicalPluginFormats(), format))
            others.append(format);
    }
    stableMergeSort(others.begin(), others.end(), plainLess);
    return result + others;
}

QString HistoryOperation::summary() const {
    if (!isProductTransaction(kind))
        return items.empty() ? QString() : items.front().detail;
    const QStringList touched = formats();
    const qsizetype lines = static_cast<qsizetype>(items.size());
    const QString subject = !touched.isEmpty()
                                ? touched.join(QStringLiteral(" + "))
                                : QString::number(lines) + (lines == 1 ? QStringLiteral(" format bundle")
                                                                       : QStringLiteral(" format bundles"));
    const QString plural = lines == 1 ? QString() : QStringLiteral("s");
    switch (kind) {
    case HistoryKind::restore:
        return subject + QStringLiteral(" restored to the recorded original location") + plural +
               QStringLiteral(" as one product transaction.");
    case HistoryKind::quarantine:
        return subject + QStringLiteral(" moved to reversible quarantine as one product transaction.");
    case HistoryKind::trash:
        return subject + QStringLiteral(" moved to Finder Trash as one recoverable product transaction.");
    case HistoryKind::trashRestore:
        return subject + QStringLiteral(" restored from Finder Trash to the recorded original location") +
               plural + QStringLiteral(".");
    default:
        return items.front().detail;
    }
}

std::vector<HistoryOperation> groupHistoryOperations(const std::vector<HistoryItem>& items) {
    std::vector<HistoryOperation> operations;
    for (const HistoryItem& line : items) {
        if (!operations.empty() && operations.back().accepts(line)) {
            operations.back().items.push_back(line);
            continue;
        }
        operations.push_back(HistoryOperation{line.id, line.plugin, line.kind, line.time, {line}});
    }
    return operations;
}

qsizetype countHistoryOperations(const std::vector<HistoryItem>& items) {
    return static_cast<qsizetype>(groupHistoryOperations(items).size());
}

int historyOperationCount(HistoryKind kind, const std::vector<HistoryItem>& items) {
    const std::vector<HistoryOperation> operations = groupHistoryOperations(items);
    return static_cast<int>(
        std::count_if(operations.begin(), operations.end(),
                      [kind](const HistoryOperation& operation) { return operation.kind == kind; }));
}

} // namespace quorvane
