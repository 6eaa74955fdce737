#include "app/json_event_writer.h"

#include "alarms/alarm_matcher.h"
#include "alarms/alarm_notifier.h"
#include "alarms/sound_output.h"
#include "alarms/spot_pipeline.h"
#include "app/app_core.h"
#include "link/cluster_link.h"
#include "model/alarm_list.h"

#include <QAbstractEventDispatcher>
#include <QFileDevice>
#include <QIODevice>

#include <algorithm>
#include <bit>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <charconv>
#include <cstring>

namespace {

QStringView connectionStateName(ClusterLink::Connection state)
{
    switch (state) {
    case ClusterLink::Connection::Connecting:
        return u"connecting";
    case ClusterLink::Connection::Connected:
        return u"connected";
    case ClusterLink::Connection::LoggedIn:
        return u"logged_in";
    case ClusterLink::Connection::Lost:
        return u"lost";
    }
    return {};
}

char hexDigit(unsigned value)
{
    return static_cast<char>(value < 10 ? '0' + value : 'a' + value - 10);
}

#if defined(__SSE2__)
// The sixteen units from src as bytes; true when all of them are printable ASCII other than quote and
// backslash, which are written as they are.
bool plainSixteen(const char16_t *src, __m128i &bytes)
{
    // Saturating: a unit above 0xFF becomes 0xFF, one from 0x8000 on (negative) 0; both fail the test.
    bytes = _mm_packus_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(src)),
                             _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + 8)));
    // Signed compare: bytes from 0x80 on are negative.
    const __m128i special = _mm_or_si128(
        _mm_cmplt_epi8(bytes, _mm_set1_epi8(0x20)),
        _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('"')), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\\'))));
    return _mm_movemask_epi8(special) == 0;
}
#endif

// A JSON string's content, UTF-8, escaped exactly as QJsonDocument escapes it: the two-character escapes
// for quote, backslash, BS, FF, LF, CR and TAB, \u00xx for the other C0 controls, and \uxxxx for a
// surrogate without its partner; everything else as UTF-8. Writes at most 6 bytes per UTF-16 unit.
char *writeEscaped(char *cursor, QStringView text)
{
    const char16_t *src = text.utf16();
    const char16_t *const end = src + text.size();
    while (src != end) {
#if defined(__SSE2__)
        // Sixteen units at a time while they are written as they are.
        __m128i bytes;
        while (end - src >= 16 && plainSixteen(src, bytes)) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(cursor), bytes);
            cursor += 16;
            src += 16;
        }
        // Fewer than sixteen left: the last sixteen units once more, overlapping. Those units are plain, so
        // each was written as one byte and the overlapped bytes are written again with the same values.
        if (const qsizetype left = end - src;
            left > 0 && left < 16 && src - text.utf16() >= 16 - left && plainSixteen(end - 16, bytes)) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(cursor - (16 - left)), bytes);
            cursor += left;
            break;
        }
#endif
        if constexpr (std::endian::native == std::endian::little) {
            // Four units at a time while they are printable ASCII without quote or backslash.
            constexpr quint64 kOnes = 0x0001'0001'0001'0001ULL;
            constexpr quint64 kHighs = 0x8000'8000'8000'8000ULL;
            const auto hasZeroLane = [](quint64 x) { return (x - kOnes) & ~x & kHighs; };
            while (end - src >= 4) {
                quint64 word;
                std::memcpy(&word, src, sizeof word);
                const quint64 special =
                    (word & 0xFF80'FF80'FF80'FF80ULL) | ((word - kOnes * 0x20) & ~word & kHighs) |
                    hasZeroLane(word ^ (kOnes * u'"')) | hasZeroLane(word ^ (kOnes * u'\\'));
                if (special)
                    break;
                quint64 bytes = (word | (word >> 8)) & 0x0000'FFFF'0000'FFFFULL;
                bytes = (bytes | (bytes >> 16)) & 0xFFFF'FFFFULL;
                const auto four = static_cast<quint32>(bytes);
                std::memcpy(cursor, &four, sizeof four);
                cursor += 4;
                src += 4;
            }
            if (src == end)
                break;
        }
        const char16_t u = *src++;
        if (u >= 0x20 && u < 0x80 && u != u'"' && u != u'\\') {
            *cursor++ = static_cast<char>(u);
        } else if (u < 0x80) {
            *cursor++ = '\\';
            switch (u) {
            case u'"':
                *cursor++ = '"';
                break;
            case u'\\':
                *cursor++ = '\\';
                break;
            case 0x08:
                *cursor++ = 'b';
                break;
            case 0x0C:
                *cursor++ = 'f';
                break;
            case 0x0A:
                *cursor++ = 'n';
                break;
            case 0x0D:
                *cursor++ = 'r';
                break;
            case 0x09:
                *cursor++ = 't';
                break;
            default:
                *cursor++ = 'u';
                *cursor++ = '0';
                *cursor++ = '0';
                *cursor++ = hexDigit(u >> 4);
                *cursor++ = hexDigit(u & 0xF);
            }
        } else if (u < 0x800) {
            *cursor++ = static_cast<char>(0xC0 | (u >> 6));
            *cursor++ = static_cast<char>(0x80 | (u & 0x3F));
        } else if (!QChar::isSurrogate(u)) {
            *cursor++ = static_cast<char>(0xE0 | (u >> 12));
            *cursor++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            *cursor++ = static_cast<char>(0x80 | (u & 0x3F));
        } else if (QChar::isHighSurrogate(u) && src != end && QChar::isLowSurrogate(*src)) {
            const char32_t c = QChar::surrogateToUcs4(u, *src++);
            *cursor++ = static_cast<char>(0xF0 | (c >> 18));
            *cursor++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *cursor++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *cursor++ = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            *cursor++ = '\\';
            *cursor++ = 'u';
            for (int shift = 12; shift >= 0; shift -= 4)
                *cursor++ = hexDigit((u >> shift) & 0xF);
        }
    }
    return cursor;
}

// A literal: its length is known here, so the copy is a few moves rather than a call.
template <std::size_t N> char *writeText(char *cursor, const char (&text)[N])
{
    std::memcpy(cursor, text, N - 1);
    return cursor + N - 1;
}

} // namespace

// One event line under construction, written straight into the writer's buffer. Fields must be added in
// alphabetical order of their keys, as QJsonDocument orders them.
class JsonEventWriter::Line {
public:
    explicit Line(JsonEventWriter &writer) : m_writer(writer)
    {
        *m_writer.room(1) = '{';
        ++m_writer.m_used;
    }
    ~Line() { m_writer.finishLine(); }
    Line(const Line &) = delete;
    Line &operator=(const Line &) = delete;

    template <std::size_t N> Line &field(const char (&key)[N], QStringView value)
    {
        char *cursor = startField(key, 2 + 6 * value.size());
        *cursor++ = '"';
        cursor = writeEscaped(cursor, value);
        *cursor++ = '"';
        m_writer.commit(cursor);
        return *this;
    }
    template <std::size_t N> Line &field(const char (&key)[N], long long value)
    {
        constexpr int kDigits = 24;
        char *cursor = startField(key, kDigits);
        cursor = std::to_chars(cursor, cursor + kDigits, value).ptr;
        m_writer.commit(cursor);
        return *this;
    }

private:
    // Room for the separator, the key and a value of up to valueBytes; returns where the value goes.
    template <std::size_t N> char *startField(const char (&key)[N], qsizetype valueBytes)
    {
        char *cursor = m_writer.room(3 + static_cast<qsizetype>(N) + valueBytes);
        if (!m_first)
            *cursor++ = ',';
        m_first = false;
        *cursor++ = '"';
        cursor = writeText(cursor, key);
        return writeText(cursor, "\":");
    }

    JsonEventWriter &m_writer;
    bool m_first = true;
};

JsonEventWriter::JsonEventWriter(QIODevice &out, QObject *parent) : QObject(parent), m_out(out)
{
    // aboutToBlock comes right before the loop sleeps: no wake-up and no timer of its own per arrival.
    auto *dispatcher = QAbstractEventDispatcher::instance(thread());
    if (dispatcher && qobject_cast<QFileDevice *>(&out)) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &JsonEventWriter::flush);
        m_flushBeforeWaiting = true;
    }
}

JsonEventWriter::~JsonEventWriter()
{
    flush();
}

char *JsonEventWriter::room(qsizetype bytes)
{
    if (m_used + bytes > m_pending.size())
        m_pending.resize(std::max(2 * m_pending.size(), m_used + bytes));
    return m_pending.data() + m_used;
}

void JsonEventWriter::commit(const char *end)
{
    m_used = end - m_pending.constData();
}

void JsonEventWriter::finishLine()
{
    commit(writeText(room(2), "}\n"));
    if (!m_flushBeforeWaiting || m_used >= kMaxGathered)
        flush();
}

void JsonEventWriter::flush()
{
    if (m_used == 0)
        return;
    m_out.write(m_pending.constData(), m_used);
    m_used = 0;
    if (auto *file = qobject_cast<QFileDevice *>(&m_out))
        file->flush();
}

void JsonEventWriter::show(const QString &text)
{
    Line(*this).field("event", u"message").field("text", text);
}

void JsonEventWriter::attach(AppCore &core)
{
    connect(&core, &AppCore::statusChanged, this,
            [this](const QString &text) { Line(*this).field("event", u"status").field("text", text); });
    connect(&core.link(), &ClusterLink::connectionChanged, this,
            [this](ClusterLink::Connection state, const QString &detail, int retryIn) {
                Line line(*this);
                line.field("detail", detail).field("event", u"connection");
                if (state == ClusterLink::Connection::Lost)
                    line.field("retry_in", retryIn);
                line.field("state", connectionStateName(state));
            });
    connect(&core.pipeline(), &SpotPipeline::spotShown, this,
            [this](const QString &line) { Line(*this).field("event", u"spot").field("line", line); });
    connect(&core.notifier(), &AlarmNotifier::callAlarmShown, this,
            [this](int entry, const QString &call, const QString &text, const QString &qrg) {
                Line(*this)
                    .field("call", call)
                    .field("entry", entry)
                    .field("event", u"call_alarm")
                    .field("qrg", qrg)
                    .field("text", text);
            });
    connect(&core.notifier(), &AlarmNotifier::portableAlarmShown, this,
            [this](const QString &call, const QString &qrg) {
                Line(*this).field("call", call).field("event", u"portable_alarm").field("qrg", qrg);
            });
    connect(&core.notifier(), &AlarmNotifier::alarmHidden, this, [this](AlarmNotifier::Kind kind) {
        Line(*this)
            .field("event", u"alarm_hidden")
            .field("window", kind == AlarmNotifier::Kind::Call ? u"call" : u"portable");
    });
    connect(&core.sound(), &SoundOutput::soundRequested, this,
            [this](const QString &file) { Line(*this).field("event", u"sound").field("file", file); });
    AlarmList &list = core.alarmList();
    connect(&core.matcher(), &AlarmMatcher::entryHeard, this, [this, &list](int index) {
        const AlarmEntry &entry = list.at(index);
        Line(*this)
            .field("call", entry.call)
            .field("date", entry.date)
            .field("entry", index)
            .field("event", u"heard")
            .field("qrg", entry.qrg)
            .field("time", entry.time);
    });
}
