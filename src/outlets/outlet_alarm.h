#pragma once

#include <QByteArray>
#include <QString>

class CountryTable;

// A needed alarm as its pop-up shows it; reasonKey as events name it ("new_entity"), reasonText as the
// pop-up says it ("new one").
struct NeededCaptions {
    QString call;
    QString entity;
    int dxcc = 0;
    QString band;
    QString qrg;
    QString reasonKey;
    QString reasonText;
};

// One alarm as it leaves the program: a desktop notification's summary and body, and a push's text line,
// ntfy-style headers and JSON body. Everything is built from what the pop-up shows; no setting goes in.
struct OutletAlarm {
    QString call; // empty for the feed and the held-back pushes
    QString qrg;
    QString summary; // "TS0EST 14025.0 kHz", or the feed's news
    QString body;    // the alarm text, "portable station", ...
    QString title;   // Title header
    QString tags;    // Tags header, comma-separated
    int priority = 3;
    QByteArray json;     // the event line without its line feed
    bool isTest = false; // the operator waits for its answer: no retry, nothing in alarms.log

    // The push's text line: "TS0EST 14025.0 kHz: TS0EST is on the air".
    QString line() const;

    // With a country table the JSON names the call's entity, as the event stream does.
    static OutletAlarm callAlarm(int entry, const QString &call, const QString &text, const QString &qrg,
                                 const CountryTable *countries = nullptr);
    static OutletAlarm portableAlarm(const QString &call, const QString &qrg,
                                     const CountryTable *countries = nullptr);
    static OutletAlarm neededAlarm(const NeededCaptions &captions);
    static OutletAlarm feed(bool down);
    // count alarms were held back by the rate limit; last is the newest of them.
    static OutletAlarm heldBack(int count, const OutletAlarm &last);
    // The Config dialog's "Test".
    static OutletAlarm test();
};
