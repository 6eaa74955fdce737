#pragma once

#include "rig/rig_worker.h"

#include <QObject>
#include <QString>
#include <QStringView>

#include <memory>
#include <optional>

class QThread;
class Settings;

// Tunes the radio from the GUI thread without waiting for it: Hamlib runs in a thread of its own, one
// request at a time. A request that arrives while one runs waits; a newer one of the same kind replaces
// it, so a burst of clicks ends on the last frequency. Without a radio set nothing happens and Hamlib is
// never called.
class RigControl final : public QObject {
    Q_OBJECT
public:
    // How long the exit waits for a radio that hangs in a call before leaving it behind.
    static constexpr int kExitWaitMs = 2000;

    explicit RigControl(const Settings &settings, QObject *parent = nullptr);
    ~RigControl() override;

    // A usable radio is set in the settings.
    bool isSet() const;
    // Why the radio settings cannot be used; empty when they can or no radio is set.
    QString settingsProblem() const;

    // Puts the radio on this frequency (kHz text, "14025.0") in CW.
    void tune(const QString &kiloHertz);
    // Reads the frequency of this radio (the dialog's "Test" with the fields not yet stored).
    void test(const RigTarget &target);

    bool isBusy() const { return m_busy; }

    // "14025.0" -> 14025000; nullopt for text that is no frequency.
    static std::optional<qint64> hertzFromKilohertz(QStringView text);
    static QString kilohertzText(qint64 hertz);

signals:
    // For the status line: "rig: 14025.0 kHz CW", "rig: connection refused".
    void statusChanged(const QString &text);
    // The answer to test(): "14025.0 kHz CW" or why not.
    void tested(const QString &text);

private:
    void submit(const RigRequest &request);
    void start(const RigRequest &request);
    void finished(const RigRequest &request, const RigAnswer &answer);

    const Settings &m_settings;
    std::unique_ptr<QThread> m_thread;
    std::unique_ptr<RigWorker> m_worker;
    bool m_busy = false;
    std::optional<RigRequest> m_waitingTune;
    std::optional<RigRequest> m_waitingTest;
};
