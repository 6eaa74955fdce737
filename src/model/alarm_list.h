#pragma once

#include <QObject>
#include <QString>

#include <array>

// One watched call. Every field is text, the numeric ones too; they are converted where used.
struct AlarmEntry {
    QString call;
    QString text;
    QString sound;
    QString time;         // last heard: time of day, empty = not heard
    QString date;         // last heard: date
    QString qrg;          // last heard: frequency in kHz
    QString enable;       // exactly "on" = alarms enabled
    QString blockTimer;   // running block countdown in seconds, "0" = free; never stored
    QString blockTimeSet; // block time in seconds loaded after an alarm

    bool isEnabled() const { return enable == QLatin1StringView("on"); }
    bool isBlocked() const { return blockTimer != QLatin1StringView("0"); }
    friend bool operator==(const AlarmEntry &, const AlarmEntry &) = default;
};

// The fixed table of 101 watched calls. Live entries are 0..lastCallNr(); -1 means empty.
// Slots above lastCallNr() keep what they last held (the sample entry sits in slot 0 that way).
class AlarmList final : public QObject {
    Q_OBJECT
public:
    static constexpr int kCapacity = 101;

    explicit AlarmList(QObject *parent = nullptr);

    // The example a new config.txt is written from; it sits in slot 0 until config.txt is read.
    static const AlarmEntry &sampleEntry();

    int lastCallNr() const { return m_lastCallNr; }
    int count() const { return m_lastCallNr + 1; }
    bool isFull() const { return m_lastCallNr >= kCapacity - 1; }
    static constexpr bool isSlot(int index) { return index >= 0 && index < kCapacity; }

    // Any slot 0..100, live or not.
    const AlarmEntry &at(int index) const { return m_slots[static_cast<std::size_t>(index)]; }

    // Replaces a slot's fields; announces the change when the slot is live.
    void setEntry(int index, const AlarmEntry &entry);
    // Edits one slot in place through a function; announces the change when the slot is live.
    template <typename Edit> void edit(int index, Edit &&change)
    {
        change(m_slots[static_cast<std::size_t>(index)]);
        if (index <= m_lastCallNr)
            emit entryChanged(index);
    }

    // Raises lastCallNr by one, leaving the new slot's fields as they are. Refuses (false) when full.
    bool appendSlot();
    // Drops lastCallNr back to -1 without touching the slots (start-up order needs this).
    void clearLive();
    // Removes a live entry: later entries move up one, the vacated last slot is emptied.
    bool removeAt(int index);

signals:
    // Fields of one live entry changed.
    void entryChanged(int index);
    // Entries were added, removed or moved.
    void structureChanged();

private:
    std::array<AlarmEntry, kCapacity> m_slots{};
    int m_lastCallNr = -1;
};
