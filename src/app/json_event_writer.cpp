#include "app/json_event_writer.h"

#include "alarm/alarm_notifier.h"
#include "alarm/sound_output.h"
#include "app/alarm_list.h"
#include "app/app_core.h"
#include "cluster/alarm_matcher.h"
#include "cluster/cluster_link.h"
#include "cluster/spot_pipeline.h"

#include <QFileDevice>
#include <QIODevice>

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

// A JSON string's content, UTF-8, escaped exactly as QJsonDocument escapes it: the two-character escapes
// for quote, backslash, BS, FF, LF, CR and TAB, \u00xx for the other C0 controls, and \uxxxx for a
// surrogate without its partner; everything else as UTF-8.
void appendEscaped(QByteArray &out, QStringView text)
{
    const qsizetype start = out.size();
    // Six bytes per character is the most any character needs (\u escape); 3 per UTF-16 unit as UTF-8.
    out.resize(start + text.size() * 6);
    char *cursor = out.data() + start;
    const char16_t *src = text.utf16();
    const char16_t *const end = src + text.size();
    while (src != end) {
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
    out.resize(cursor - out.constData());
}

} // namespace

// One event line under construction, appended straight to the writer's buffer. Fields must be added in
// alphabetical order of their keys, as QJsonDocument orders them.
class JsonEventWriter::Line {
public:
    explicit Line(JsonEventWriter &writer) : m_writer(writer) { m_writer.m_pending += '{'; }
    ~Line() { m_writer.finishLine(); }
    Line(const Line &) = delete;
    Line &operator=(const Line &) = delete;

    Line &field(const char *key, QStringView value)
    {
        QByteArray &out = startField(key);
        out += '"';
        appendEscaped(out, value);
        out += '"';
        return *this;
    }
    Line &field(const char *key, long long value)
    {
        startField(key) += QByteArray::number(value);
        return *this;
    }

private:
    QByteArray &startField(const char *key)
    {
        QByteArray &out = m_writer.m_pending;
        if (!m_first)
            out += ',';
        m_first = false;
        out += '"';
        out += key;
        out += "\":";
        return out;
    }

    JsonEventWriter &m_writer;
    bool m_first = true;
};

JsonEventWriter::JsonEventWriter(QIODevice &out, QObject *parent)
    : QObject(parent), m_out(out), m_gather(qobject_cast<QFileDevice *>(&out) != nullptr)
{
}

JsonEventWriter::~JsonEventWriter()
{
    flush();
}

void JsonEventWriter::finishLine()
{
    m_pending += "}\n";
    if (!m_gather || m_pending.size() >= kMaxGathered) {
        flush();
        return;
    }
    if (!m_flushQueued) {
        m_flushQueued = true;
        // Runs once the current work is done, before the event loop waits again.
        QMetaObject::invokeMethod(this, &JsonEventWriter::flush, Qt::QueuedConnection);
    }
}

void JsonEventWriter::flush()
{
    m_flushQueued = false;
    if (m_pending.isEmpty())
        return;
    m_out.write(m_pending);
    m_pending.resize(0); // keeps the capacity
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
