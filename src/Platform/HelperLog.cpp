#include "Platform/HelperLog.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

#include <systemd/sd-daemon.h>

#include <cstdio>

namespace quorvane {

Q_LOGGING_CATEGORY(helperLifecycleLog, "com.orsolind.Quorvane.helper.lifecycle")
Q_LOGGING_CATEGORY(helperListenerLog, "com.orsolind.Quorvane.helper.listener")
Q_LOGGING_CATEGORY(helperServiceLog, "com.orsolind.Quorvane.helper.service")

namespace HelperLog {

namespace {

const char* priorityPrefix(QtMsgType type) {
    switch (type) {
    case QtDebugMsg:
        return SD_DEBUG;
    case QtInfoMsg:
        return SD_NOTICE;
    case QtWarningMsg:
        return SD_WARNING;
    case QtCriticalMsg:
        return SD_ERR;
    case QtFatalMsg:
        return SD_CRIT;
    }
    return SD_NOTICE;
}

void writeMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const QByteArray line = formatLine(type, context.category, message);
    std::fwrite(line.constData(), 1, std::size_t(line.size()), stderr);
    std::fflush(stderr);
}

const QByteArray& salt() {
    static const QByteArray value = [] {
        QByteArray bytes(32, Qt::Uninitialized);
        QRandomGenerator::system()->generate(reinterpret_cast<quint32*>(bytes.data()),
                                             reinterpret_cast<quint32*>(bytes.data() + bytes.size()));
        return bytes;
    }();
    return value;
}

} // namespace

void install() {
    qInstallMessageHandler(writeMessage);
}

QByteArray formatLine(QtMsgType type, const char* category, const QString& message) {
    QByteArray line(priorityPrefix(type));
    if (category && *category && qstrcmp(category, "default") != 0)
        line.append(category).append(": ");
    // One journal entry per message, even for text with line breaks.
    line.append(message.toUtf8().replace('\n', ' '));
    line.append('\n');
    return line;
}

QString privateHash(const QString& value) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(salt());
    hash.addData(value.toUtf8());
    return QString::fromLatin1(hash.result().toHex().left(16));
}

} // namespace HelperLog

} // namespace quorvane
