#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <functional>

// The fields of one ADIF record that the worked index needs, as the file spells them (untrimmed).
struct AdifQso {
    QByteArrayView call;
    QByteArrayView dxcc;
    QByteArrayView band;
    QByteArrayView freq; // MHz
    QByteArrayView mode;
    QByteArrayView qslRcvd;
    QByteArrayView lotwQslRcvd;
};

// Reads ADIF (.adi) text fed in pieces cut anywhere, and hands over each record without keeping it, so a
// log of any size costs one piece and a few short values. The rules for files as loggers and hands leave
// them:
// - a header is whatever comes before <EOH>; a file without one starts with its first record;
// - field names in any case and order; a later field of the same name in a record wins;
// - a field's length counts bytes; a value ends there, at the end of the data, or earlier where a tag
//   (<EOR>, <EOH>, <NAME:LEN...>) begins inside it, so a length that is too long costs no following field;
//   bytes after a length that is too short are skipped up to the next tag;
// - text that is no tag is skipped; tags without a length other than EOR and EOH are ignored;
// - the bytes are not decoded: the fields read are ASCII, so UTF-8 and Latin-1 files read the same;
// - a last record without <EOR> counts when it holds any of the fields read.
class AdifReader final {
public:
    using Sink = std::function<void(const AdifQso &)>;

    // Values of the fields read are kept up to this many bytes; longer ones are cut.
    static constexpr qsizetype kMaxValue = 64;
    // A tag is at most this long ("<LOTW_QSL_RCVD:1:E>" is 19); a longer run after "<" is text.
    static constexpr qsizetype kMaxTag = 64;

    explicit AdifReader(Sink sink);

    void feed(QByteArrayView bytes);
    // The end of the data: a value or record cut off by it is taken as far as it goes.
    void finish();

    qint64 recordCount() const { return m_records; }

private:
    enum class Field { Call, Dxcc, Band, Freq, Mode, QslRcvd, LotwQslRcvd, Other };
    enum class TagScan { Tag, NoTag, NeedMore };
    struct Tag {
        qsizetype end = 0; // one past ">"
        bool isRecordEnd = false;
        bool isHeaderEnd = false;
        bool hasLength = false;
        qint64 length = 0;
        Field field = Field::Other;
    };

    static TagScan scanTag(QByteArrayView data, qsizetype at, bool atEnd, Tag *tag);
    static Field fieldNamed(QByteArrayView name);
    qsizetype parse(QByteArrayView data, bool atEnd);
    void takeValue(QByteArrayView bytes);
    void endRecord();
    void clearRecord();

    Sink m_sink;
    QByteArray m_carry; // the start of a tag or value the next piece completes
    bool m_inValue = false;
    Field m_field = Field::Other;
    qint64 m_remaining = 0;
    std::array<QByteArray, static_cast<int>(Field::Other)> m_values;
    bool m_recordHasField = false;
    qint64 m_records = 0;
};
