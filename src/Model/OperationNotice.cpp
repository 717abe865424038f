#include "Model/OperationNotice.h"

#include "Support/PlainText.h"
#include "Support/Uuid.h"

namespace quorvane {

OperationNotice OperationNotice::make(const QString& title, const QString& message, NoticeStyle style) {
    return OperationNotice{makeUuid(), title, message, style};
}

bool OperationNotice::operator==(const OperationNotice& other) const {
    return id == other.id && plainEqual(title, other.title) && plainEqual(message, other.message) &&
           style == other.style;
}

} // namespace quorvane
