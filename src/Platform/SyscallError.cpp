#include "Platform/SyscallError.h"

#include <cerrno>
#include <cstring>

namespace quorvane {

QString SyscallError::description() const {
    switch (code) {
    case EXDEV:
        return QStringLiteral("The destination is on another file system, and bundles are never copied "
                              "between file systems.");
    case EEXIST:
    case ENOTEMPTY:
        return QStringLiteral("An item already exists at the destination.");
    default:
        break;
    }
    QString text = QString::fromLocal8Bit(std::strerror(code));
    if (!text.endsWith(QLatin1Char('.')))
        text.append(QLatin1Char('.'));
    return text;
}

SyscallError SyscallError::fromErrno() {
    return SyscallError{errno};
}

} // namespace quorvane
