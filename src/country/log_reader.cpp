#include "country/log_reader.h"

#include "country/adif_reader.h"
#include "country/country_table.h"
#include "country/entity.h"
#include "country/worked_index.h"

#include <QElapsedTimer>
#include <QFile>

#include <array>
#include <sys/stat.h>

namespace {

FileStamp stampOf(const struct stat &info)
{
    return FileStamp{info.st_dev, info.st_ino, static_cast<qint64>(info.st_size),
                     static_cast<qint64>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

// A log's call resolved without allocating: calls are ASCII, and anything longer than this is no call.
int dxccOfCall(const CountryTable &table, QByteArrayView call)
{
    std::array<char16_t, 32> text{};
    if (call.size() > static_cast<qsizetype>(text.size()))
        return 0;
    for (qsizetype i = 0; i < call.size(); ++i)
        text[static_cast<std::size_t>(i)] = static_cast<unsigned char>(call[i]);
    const auto resolved = table.resolve(QStringView(text.data(), call.size()));
    return resolved ? resolved->entity->dxcc : 0;
}

} // namespace

std::optional<FileStamp> FileStamp::of(const QString &path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return stampOf(info);
}

LogReadResult LogReader::read(const QString &path, const CountryTable &table, const std::atomic<bool> &stop)
{
    QElapsedTimer timer;
    timer.start();
    LogReadResult result;
    QByteArray piece(kPieceBytes, Qt::Uninitialized);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        QFile file(path);
        struct stat opened {};
        if (!file.open(QIODevice::ReadOnly) || ::fstat(file.handle(), &opened) != 0) {
            result.error = file.errorString();
            return result;
        }
        if (S_ISDIR(opened.st_mode)) {
            result.error = QStringLiteral("it is a folder");
            return result;
        }
        auto index = std::make_shared<WorkedIndex>();
        const auto resolve = [&table](QByteArrayView call) { return dxccOfCall(table, call); };
        AdifReader reader([&](const AdifQso &qso) { index->addQso(qso, resolve); });
        for (;;) {
            if (stop.load(std::memory_order_relaxed)) {
                result.error = QStringLiteral("stopped");
                return result;
            }
            const qint64 got = file.read(piece.data(), piece.size());
            if (got < 0) {
                result.error = file.errorString();
                return result;
            }
            if (got == 0)
                break;
            reader.feed(QByteArrayView(piece.constData(), got));
        }
        reader.finish();
        // Written to, or replaced, while it was read: the index would mix two files.
        struct stat after {};
        const std::optional<FileStamp> now = FileStamp::of(path);
        if (::fstat(file.handle(), &after) == 0 && stampOf(after) == stampOf(opened) &&
            now == stampOf(opened)) {
            result.index = std::move(index);
            result.stamp = now;
            result.records = reader.recordCount();
            result.microseconds = timer.nsecsElapsed() / 1000;
            return result;
        }
    }
    result.error = QStringLiteral("it kept changing while it was read");
    return result;
}
