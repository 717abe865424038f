#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace quorvane {

// The comma-separated text of the exports: the header line as given, then one line per row, every
// line ended by a line feed (the last one too), UTF-8 without a byte-order mark.
//
// A field is neutralised first: one that a spreadsheet would run as a formula (it starts with "=",
// "+", "-", "@", a tab or a carriage return) gets a leading "'". Then every double quote is
// doubled, and a field holding a comma, a double quote, a line feed or a carriage return is
// enclosed in double quotes, so that no reader splits a record on a bare carriage return.
class CsvWriter {
public:
    explicit CsvWriter(const QStringList& header);

    void addRow(const QStringList& fields);
    QByteArray bytes() const { return m_text.toUtf8(); }

    static QString field(const QString& value);
    // One record's fields, each written as above, joined by commas, without the line feed.
    static QString line(const QStringList& fields);

private:
    QString m_text;
};

} // namespace quorvane
