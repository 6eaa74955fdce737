#pragma once

#include "support/files.h"

#include <QList>
#include <QTest>

using namespace Qt::StringLiterals;

// One case of a row file in tests/data: its name, then its fields, one a line.
struct DataRow {
    QByteArray name;
    QList<QByteArray> fields;

    // Field i as text; "-" stands for an empty field.
    QString text(qsizetype i) const
    {
        const QByteArray field = fields.value(i);
        return field == "-" ? QString() : QString::fromUtf8(field);
    }
    // Field i's bytes: "|" is a line break, written as lineEnd; %HH is the byte HH.
    QByteArray bytes(qsizetype i, const QByteArray &lineEnd) const
    {
        const QByteArray field = fields.value(i);
        return field == "-" ? QByteArray()
                            : QByteArray::fromPercentEncoding(QByteArray(field).replace("|", lineEnd));
    }
};

// A file of tests/data without its '#' comment lines.
inline QList<QByteArray> dataLines(const QString &name)
{
    QList<QByteArray> lines = readFile(QStringLiteral(VEMROK_TEST_DATA_DIR) + name).split('\n');
    lines.removeIf([](const QByteArray &line) { return line.startsWith('#'); });
    return lines;
}

// Every row file of tests/data has one format: a case is a block of lines (its name, then one field a
// line) ended by an empty line; '#' lines are comments.
inline QList<DataRow> dataRows(const QString &name)
{
    QList<DataRow> rows;
    bool open = false;
    for (const QByteArray &line : dataLines(name)) {
        if (line.isEmpty())
            open = false;
        else if (!std::exchange(open, true))
            rows.append({line, {}});
        else
            rows.last().fields.append(line);
    }
    return rows;
}
