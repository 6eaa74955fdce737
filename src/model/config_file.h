#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class AlarmList;
class Settings;

// config.txt: the settings and the alarm list as hand-editable "KEY value" lines.
// The reader applies the lines one by one onto a model that already holds its defaults; the writer
// turns the whole model into the file's bytes and replaces the file atomically.
class ConfigFile final {
public:
    static inline const QString kFileName = QStringLiteral("config.txt");
    // Far beyond any real configuration (101 entries of a few lines); a bigger file is not ours to load.
    static constexpr qint64 kMaxFileSize = qint64(16) << 20;

    enum class ReadStatus { Loaded, Missing, Unreadable };
    struct ReadResult {
        ReadStatus status = ReadStatus::Loaded;
        QString error;              // why it is Unreadable: "is a folder", the system's error text, ...
        int entriesSkipped = 0;     // "$CALL" blocks past the 101st entry, with their entry lines
        int orphanLinesSkipped = 0; // entry lines ("$TXT" ... "$BLOCKTIME") before the first "$CALL"
    };
    struct WriteResult {
        bool ok = true;
        QString error;
    };

    ConfigFile() = delete;

    // The file's bytes for this model: CR LF lines, UTF-8. An empty list is written as its slot 0,
    // numbered 1, so the file always holds an entry; the list itself is not changed.
    static QByteArray serialize(const Settings &settings, const AlarmList &list);

    // Applies file content line by line. Lines are split at LF (a CR before the LF is dropped, a last
    // line without LF counts), each decoded as UTF-8 when valid, else as Latin-1. Never fails: lines
    // that fit no key, or have no slot to go to, are skipped and counted in result.
    static void apply(QByteArrayView content, Settings &settings, AlarmList &list, ReadResult &result);

    // Reads and applies the file at path. A missing file gives Missing; a file that exists but cannot
    // be read gives Unreadable. In both cases the model is untouched.
    static ReadResult read(const QString &path, Settings &settings, AlarmList &list);

    // Replaces the file at path through a temporary file in the same folder that is flushed to disk and
    // then renamed over it. On failure the old file stays as it was and error says why.
    static WriteResult write(const QString &path, const Settings &settings, const AlarmList &list);
};
