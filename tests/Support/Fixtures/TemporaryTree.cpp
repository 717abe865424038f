#include "Support/Fixtures/TemporaryTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quorvane::testing {

TemporaryTree::TemporaryTree() : m_root(QFileInfo(m_dir.path()).canonicalFilePath()) {}

QString TemporaryTree::path(const QString& relative) const {
    return relative.isEmpty() ? m_root : m_root + QLatin1Char('/') + relative;
}

QString TemporaryTree::makeDirectory(const QString& relative) const {
    const QString full = path(relative);
    QDir().mkpath(full);
    return full;
}

QString TemporaryTree::writeFile(const QString& relative, const QByteArray& contents) const {
    const QString full = path(relative);
    QDir().mkpath(QFileInfo(full).path());
    QFile file(full);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(contents);
    return full;
}

} // namespace quorvane::testing
