#pragma once

#include <QByteArray>
#include <QLatin1StringView>
#include <QStringView>

#include <initializer_list>
#include <variant>

// One JSON object on one line, as the headless stream and a JSON push carry it. Built by hand: QJsonObject
// and QJsonDocument cost about 20,000 instructions an event, and a contest burst raises thousands of
// portable alarms. Strings are escaped as QJsonDocument escapes them.
class JsonLine final {
public:
    // One field: a text or a whole number.
    struct Field {
        QLatin1StringView key;
        std::variant<QStringView, int> value;
    };

    JsonLine() = delete;

    // Appends the object and a line feed to out. The fields come with their keys in alphabetical order.
    static void append(QByteArray &out, std::initializer_list<Field> fields);
};
