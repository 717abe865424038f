#pragma once

#include "Model/PermanentQuarantineRule.h"
#include "Model/TrashRecoveryEntry.h"

#include <QStringList>

namespace quorvane {

// The orders of the store's own lists; each answers "does a sort strictly before b". The orders
// the scanner and the planners share live with them.

// By manufacturer, plain order: the order of permanentQuarantineRules after every enabling.
bool permanentQuarantineRuleOrder(const PermanentQuarantineRule& a, const PermanentQuarantineRule& b);
// Newest operationDate first; equal dates keep their order.
bool trashRecoveryEntryOrder(const TrashRecoveryEntry& a, const TrashRecoveryEntry& b);
// Ascending plain order, stable.
void sortStringsAscending(QStringList& strings);

} // namespace quorvane
