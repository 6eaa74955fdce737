#pragma once

#include <QString>

#include <atomic>
#include <memory>
#include <optional>
#include <sys/types.h>

class CountryTable;
class WorkedIndex;

// Which file, of what size, last written when: a file rewritten in place or replaced by another (loggers
// save through a new file renamed over the old) gets another stamp.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    bool operator==(const FileStamp &) const = default;

    static std::optional<FileStamp> of(const QString &path);
};

struct LogReadResult {
    std::shared_ptr<const WorkedIndex> index; // null when the log could not be read
    QString error;
    std::optional<FileStamp> stamp; // of the file read
    qint64 records = 0;
    qint64 microseconds = 0;
};

// Reads the operator's ADIF log into a worked index, piece by piece so a log of any size costs one piece
// of memory. The log is only read, never written. A file that changes while it is read is read again, so
// an index is always of one whole file.
class LogReader final {
public:
    static constexpr qsizetype kPieceBytes = qsizetype{256} * 1024;
    static constexpr int kAttempts = 5;

    // `table` resolves the calls of QSOs without a DXCC field. `stop` ends a read early (an error result).
    static LogReadResult read(const QString &path, const CountryTable &table, const std::atomic<bool> &stop);
};
