#include "Views/Screens/Shared/CsvWriter.h"

namespace quorvane {

namespace {

bool startsAsFormula(const QString& value) {
    if (value.isEmpty())
        return false;
    switch (value.front().unicode()) {
    case u'=':
    case u'+':
    case u'-':
    case u'@':
    case u'\t':
    case u'\r':
        return true;
    default:
        return false;
    }
}

} // namespace

CsvWriter::CsvWriter(const QStringList& header) {
    m_text = header.join(u',') + u'\n';
}

void CsvWriter::addRow(const QStringList& fields) {
    m_text += line(fields);
    m_text += u'\n';
}

QString CsvWriter::line(const QStringList& fields) {
    QString text;
    for (qsizetype index = 0; index < fields.size(); ++index) {
        if (index > 0)
            text += u',';
        text += field(fields[index]);
    }
    return text;
}

QString CsvWriter::field(const QString& value) {
    QString text = startsAsFormula(value) ? u'\'' + value : value;
    text.replace(u'"', QStringLiteral("\"\""));
    if (text.contains(u',') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r'))
        return u'"' + text + u'"';
    return text;
}

} // namespace quorvane
