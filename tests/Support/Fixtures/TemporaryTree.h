#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace quorvane::testing {

// A temporary folder whose path has every symbolic link resolved, so that
// paths built beneath it compare equal to their standardised forms.
class TemporaryTree {
public:
    TemporaryTree();

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_root; }
    QString path(const QString& relative) const;

    // Creates the folder and its parents; returns its absolute path.
    QString makeDirectory(const QString& relative) const;
    // Creates the file (and its parents) holding `contents`; returns its path.
    QString writeFile(const QString& relative, const QByteArray& contents = {}) const;

private:
    QTemporaryDir m_dir;
    QString m_root;
};

} // namespace quorvane::testing
