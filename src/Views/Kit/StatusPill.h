#pragma once

#include "Model/PluginStatus.h"

#include <QColor>
#include <QString>
#include <QWidget>

namespace quorvane {

// The colour of a status wherever it is shown: green for OK, blue for the shell statuses, amber
// for every other.
QColor statusColor(PluginStatus status);
// The status's display text, which is its stored raw value.
QString statusText(PluginStatus status);

// A 7 by 7 dot and the status text, both in the status colour; no background of its own.
class StatusPill : public QWidget {
    Q_OBJECT
public:
    explicit StatusPill(PluginStatus status, QWidget* parent = nullptr);

    PluginStatus status() const { return m_status; }
    QString text() const;

private:
    PluginStatus m_status;
};

} // namespace quorvane
