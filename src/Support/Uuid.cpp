#include "Support/Uuid.h"

namespace quorvane {

QString uuidText(const QUuid& uuid) {
    return uuid.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> parseUuid(const QString& text) {
    if (text.size() != 36)
        return std::nullopt;
    for (qsizetype index = 0; index < text.size(); ++index) {
        const char16_t c = text.at(index).unicode();
        if (index == 8 || index == 13 || index == 18 || index == 23) {
            if (c != u'-')
                return std::nullopt;
        } else if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'))) {
            return std::nullopt;
        }
    }
    return QUuid::fromString(text);
}

QUuid makeUuid() {
    return QUuid::createUuid();
}

} // namespace quorvane
