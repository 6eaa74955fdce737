#pragma once

#include <QByteArrayView>
#include <QDir>
#include <QHash>
#include <QString>

#include <memory>

class CountryTable;

// Reads a country file in either of its published forms: cty.csv (one entity a line, with the ADIF
// DXCC number) or cty.dat (colon-separated header, then the prefixes). A cty.dat has no DXCC numbers;
// they are taken from a cty.csv beside it, else from the system's, matched by primary prefix.
// Malformed lines are skipped and counted, never fatal.
class CountryFile final {
public:
    static inline const QString kSystemFolder = QStringLiteral("/usr/share/hamradio-files");
    static inline const QString kCsvName = QStringLiteral("cty.csv");
    static inline const QString kDatName = QStringLiteral("cty.dat");

    // The file to read: cty.csv, then cty.dat in the working folder; else `ctyFile` ($CTYFILE, relative
    // to the working folder) alone, so a named file that is missing is told, not replaced; else the
    // system's cty.csv, then cty.dat. Empty when none of them exists.
    static QString locate(const QDir &workDir, const QString &ctyFile);

    // Null with `error` set when the file cannot be read or holds no entity.
    static std::shared_ptr<const CountryTable> load(const QString &path, QString *error = nullptr);

    // The text of a file; `dxccByPrefix` supplies numbers for cty.dat (primary prefix -> number).
    static std::shared_ptr<CountryTable> parse(QByteArrayView data,
                                               const QHash<QString, int> &dxccByPrefix = {});
};
