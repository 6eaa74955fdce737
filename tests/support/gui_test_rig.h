#pragma once

#include "support/fakes.h"
#include "support/test_spot_server.h"

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class AppCore;

// What the widget tests build their windows on: a core started in a temporary working folder whose
// config.txt points at a loopback spot server, with a recording sound player, a recording message
// sink and a fixed clock. Nothing reaches the internet, a sound card or a person.
class GuiTestRig final {
public:
    // configLines are added to config.txt after the server lines ("$CALL ..." blocks, switches, ...).
    explicit GuiTestRig(const QStringList &configLines = {});
    ~GuiTestRig();

    AppCore &core() { return *m_core; }
    QString path(const QString &fileName) const { return m_dir.filePath(fileName); }

    // One RBN spot line through the whole pipeline, as the link hands it over.
    void spot(const QString &call, const QString &qrg = QStringLiteral("14025.0"), int wpm = 25);

    // The offscreen platform warns on every raise(); the windows raise on every alarm. Drops just that.
    static void quietOffscreenWarnings();

    // "$CALL" blocks for calls, in order, each enabled with block time 30.
    static QStringList entries(const QStringList &calls);

    RecordingSoundPlayer player;
    RecordingMessageSink messages;
    FakeClock clock;
    TestSpotServer server;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<AppCore> m_core;
};
