#include "Store/StoreOrders.h"

#include "Support/PlainText.h"
#include "Support/StableSort.h"

namespace quorvane {

bool permanentQuarantineRuleOrder(const PermanentQuarantineRule& a, const PermanentQuarantineRule& b) {
    return plainLess(a.manufacturer, b.manufacturer);
}

bool trashRecoveryEntryOrder(const TrashRecoveryEntry& a, const TrashRecoveryEntry& b) {
    return a.record.operationDate > b.record.operationDate;
}

void sortStringsAscending(QStringList& strings) {
    stableMergeSort(strings.begin(), strings.end(), plainLess);
}

} // namespace quorvane
