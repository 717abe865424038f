#pragma once

#include <QString>
#include <QWidget>

namespace quorvane {

// A label and a value on one line, both shown as given.
class DetailRow : public QWidget {
    Q_OBJECT
public:
    DetailRow(const QString& label, const QString& value, QWidget* parent = nullptr);

    QString label() const { return m_label; }
    QString value() const { return m_value; }

private:
    QString m_label;
    QString m_value;
};

} // namespace quorvane
