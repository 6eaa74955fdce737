#include "app/json_event_writer.h"

#include "alarms/alarm_matcher.h"
#include "alarms/alarm_notifier.h"
#include "alarms/needed_alarm.h"
#include "alarms/sound_output.h"
#include "alarms/spot_pipeline.h"
#include "app/app_core.h"
#include "country/country_loader.h"
#include "country/country_table.h"
#include "link/cluster_link.h"
#include "model/alarm_list.h"
#include "spots/spot_parser.h"

#include <QAbstractEventDispatcher>
#include <QFileDevice>
#include <QIODevice>

#include <algorithm>
#include <charconv>
#include <string_view>

using namespace Qt::Literals::StringLiterals;

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

constexpr qsizetype kMaxStringBytesPerUnit = 6; // \u001f
constexpr qsizetype kMaxIntChars = 11;          // -2147483648

// Text as a JSON string, escaped as QJsonDocument escapes it; to must have room for
// kMaxStringBytesPerUnit bytes a UTF-16 unit and the two quotes.
char *writeString(char *to, QStringView text)
{
    constexpr char kHex[] = "0123456789abcdef";
    *to++ = '"';
    const char16_t *from = text.utf16();
    const char16_t *const end = from + text.size();
    while (from != end) {
        const char16_t u = *from++;
        if (u >= 0x20 && u < 0x80 && u != u'"' && u != u'\\') {
            *to++ = static_cast<char>(u);
        } else if (u < 0x80) {
            *to++ = '\\';
            switch (u) {
            case u'"':
                *to++ = '"';
                break;
            case u'\\':
                *to++ = '\\';
                break;
            case u'\b':
                *to++ = 'b';
                break;
            case u'\f':
                *to++ = 'f';
                break;
            case u'\n':
                *to++ = 'n';
                break;
            case u'\r':
                *to++ = 'r';
                break;
            case u'\t':
                *to++ = 't';
                break;
            default:
                to = std::copy_n("u00", 3, to);
                *to++ = kHex[u >> 4];
                *to++ = kHex[u & 0xF];
            }
        } else if (u < 0x800) {
            *to++ = static_cast<char>(0xC0 | (u >> 6));
            *to++ = static_cast<char>(0x80 | (u & 0x3F));
        } else if (QChar::isHighSurrogate(u) && from != end && QChar::isLowSurrogate(*from)) {
            const char32_t code = QChar::surrogateToUcs4(u, *from++);
            *to++ = static_cast<char>(0xF0 | (code >> 18));
            *to++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            *to++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            *to++ = static_cast<char>(0x80 | (code & 0x3F));
        } else if (QChar::isSurrogate(u)) {
            // A lone half of a pair has no UTF-8 form.
            *to++ = '\\';
            *to++ = 'u';
            for (int shift = 12; shift >= 0; shift -= 4)
                *to++ = kHex[(u >> shift) & 0xF];
        } else {
            *to++ = static_cast<char>(0xE0 | (u >> 12));
            *to++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            *to++ = static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    *to++ = '"';
    return to;
}

} // namespace

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

void JsonEventWriter::write(std::initializer_list<Field> fields)
{
    Q_ASSERT(std::is_sorted(fields.begin(), fields.end(), [](const Field &a, const Field &b) {
        return std::string_view(a.key.data(), a.key.size()) < std::string_view(b.key.data(), b.key.size());
    }));
    // Written through a pointer into room for the longest form, then cut to size: one growth an event.
    qsizetype room = 2;
    for (const Field &field : fields) {
        const auto *text = std::get_if<QStringView>(&field.value);
        room += field.key.size() + 4 + (text ? kMaxStringBytesPerUnit * text->size() + 2 : kMaxIntChars);
    }
    const qsizetype start = m_pending.size();
    m_pending.resize(start + room);
    char *to = m_pending.data() + start;
    char separator = '{';
    for (const Field &field : fields) {
        *to++ = separator;
        separator = ',';
        // Keys are plain ASCII names that need no escape.
        *to++ = '"';
        to = std::copy(field.key.begin(), field.key.end(), to);
        *to++ = '"';
        *to++ = ':';
        if (const auto *text = std::get_if<QStringView>(&field.value))
            to = writeString(to, *text);
        else
            to = std::to_chars(to, to + kMaxIntChars, std::get<int>(field.value)).ptr;
    }
    *to++ = '}';
    *to++ = '\n';
    m_pending.truncate(to - m_pending.constData());
    if (!m_flushBeforeWaiting || m_pending.size() >= kMaxGathered)
        flush();
}

void JsonEventWriter::flush()
{
    if (m_pending.isEmpty())
        return;
    m_out.write(m_pending);
    m_pending.clear();
    if (auto *file = qobject_cast<QFileDevice *>(&m_out))
        file->flush();
}

void JsonEventWriter::show(const QString &text)
{
    write({{"event"_L1, u"message"}, {"text"_L1, text}});
}

void JsonEventWriter::attach(AppCore &core)
{
    connect(&core, &AppCore::statusChanged, this, [this](const QString &text) {
        write({{"event"_L1, u"status"}, {"text"_L1, text}});
    });
    connect(&core.link(), &ClusterLink::connectionChanged, this,
            [this](ClusterLink::Connection state, const QString &detail, int retryIn) {
                if (state == ClusterLink::Connection::Lost)
                    write({{"detail"_L1, detail},
                           {"event"_L1, u"connection"},
                           {"retry_in"_L1, retryIn},
                           {"state"_L1, connectionStateName(state)}});
                else
                    write({{"detail"_L1, detail},
                           {"event"_L1, u"connection"},
                           {"state"_L1, connectionStateName(state)}});
            });
    // With a country file the spots and alarms say the call's entity; a call of none gets "" and DXCC 0
    // (ADIF's "none"). Without one the events are as they were.
    CountryLoader &countries = core.countries();
    connect(&core.pipeline(), &SpotPipeline::spotShown, this, [this, &countries](const QString &line) {
        const CountryTable *table = countries.table();
        if (!table) {
            write({{"event"_L1, u"spot"}, {"line"_L1, line}});
            return;
        }
        const std::optional<SpotView> spot = parseSpotView(line);
        const std::optional<Resolved> resolved = spot ? table->resolve(spot->call) : std::nullopt;
        write({{"dxcc"_L1, resolved ? resolved->entity->dxcc : 0},
               {"entity"_L1, resolved ? QStringView(resolved->entity->name) : QStringView()},
               {"event"_L1, u"spot"},
               {"line"_L1, line}});
    });
    connect(&core.pipeline(), &SpotPipeline::talkShown, this, [this](const QString &line) {
        write({{"event"_L1, u"talk"}, {"line"_L1, line}});
    });
    connect(&core.notifier(), &AlarmNotifier::callAlarmShown, this,
            [this, &countries](int entry, const QString &call, const QString &text, const QString &qrg) {
                const CountryTable *table = countries.table();
                if (!table) {
                    write({{"call"_L1, call},
                           {"entry"_L1, entry},
                           {"event"_L1, u"call_alarm"},
                           {"qrg"_L1, qrg},
                           {"text"_L1, text}});
                    return;
                }
                const std::optional<Resolved> resolved = table->resolve(call);
                write({{"call"_L1, call},
                       {"dxcc"_L1, resolved ? resolved->entity->dxcc : 0},
                       {"entity"_L1, resolved ? QStringView(resolved->entity->name) : QStringView()},
                       {"entry"_L1, entry},
                       {"event"_L1, u"call_alarm"},
                       {"qrg"_L1, qrg},
                       {"text"_L1, text}});
            });
    connect(&core.notifier(), &AlarmNotifier::portableAlarmShown, this,
            [this, &countries](const QString &call, const QString &qrg) {
                const CountryTable *table = countries.table();
                if (!table) {
                    write({{"call"_L1, call}, {"event"_L1, u"portable_alarm"}, {"qrg"_L1, qrg}});
                    return;
                }
                const std::optional<Resolved> resolved = table->resolve(call);
                write({{"call"_L1, call},
                       {"dxcc"_L1, resolved ? resolved->entity->dxcc : 0},
                       {"entity"_L1, resolved ? QStringView(resolved->entity->name) : QStringView()},
                       {"event"_L1, u"portable_alarm"},
                       {"qrg"_L1, qrg}});
            });
    connect(&core.notifier(), &AlarmNotifier::alarmHidden, this, [this](AlarmNotifier::Kind kind) {
        write({{"event"_L1, u"alarm_hidden"},
               {"window"_L1, kind == AlarmNotifier::Kind::Call ? u"call" : u"portable"}});
    });
    connect(&core.neededAlarm(), &NeededAlarm::alarmShown, this, [this](const NeededAlarm::Captions &alarm) {
        write({{"band"_L1, alarm.band},
               {"call"_L1, alarm.call},
               {"dxcc"_L1, alarm.dxcc},
               {"entity"_L1, alarm.entity},
               {"event"_L1, u"needed_alarm"},
               {"qrg"_L1, alarm.qrg},
               {"reason"_L1, NeededAlarm::reasonKey(alarm.reason)}});
    });
    connect(&core.neededAlarm(), &NeededAlarm::alarmHidden, this, [this] {
        write({{"event"_L1, u"alarm_hidden"}, {"window"_L1, u"needed"}});
    });
    connect(&core.sound(), &SoundOutput::soundRequested, this, [this](const QString &file) {
        write({{"event"_L1, u"sound"}, {"file"_L1, file}});
    });
    AlarmList &list = core.alarmList();
    connect(&core.matcher(), &AlarmMatcher::entryHeard, this, [this, &list](int index) {
        const AlarmEntry &entry = list.at(index);
        write({{"call"_L1, entry.call},
               {"date"_L1, entry.date},
               {"entry"_L1, index},
               {"event"_L1, u"heard"},
               {"qrg"_L1, entry.qrg},
               {"time"_L1, entry.time}});
    });
}
