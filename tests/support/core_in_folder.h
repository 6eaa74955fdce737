#pragma once

#include "app/app_core.h"
#include "support/fakes.h"
#include "support/files.h"
#include "support/test_spot_server.h"

#include <QTemporaryDir>

// The program without its windows in a temporary folder, with a config.txt of the test's, a fake clock,
// sound and message box, and its link pointed at a loopback spot server.
struct CoreInFolder {
    QTemporaryDir dir;
    FakeClock clock;
    RecordingSoundPlayer player;
    RecordingMessageSink messages;
    TestSpotServer server;
    AppCore core{QDir(dir.path()), player, messages, clock};

    explicit CoreInFolder(const QByteArray &config)
    {
        writeFile(path(u"config.txt"_s), config);
        (void)server.listen();
        core.setServerOverride(server.host(), server.port());
    }
    QString path(const QString &name) const { return dir.filePath(name); }
    QByteArray file(const QString &name) const { return readFile(path(name)); }
};
