#pragma once

#include "support/files.h"
#include "support/test_spot_server.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

// The real program headless in a folder of its own, logged in to its own loopback spot server, with its
// event stream at hand.
class HeadlessProgram {
public:
    QTemporaryDir dir;
    TestSpotServer spots;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QByteArrayList lines; // stdout, line by line

    // Starts with the given config.txt lines after the server's; true once it is logged in.
    bool start(const QByteArray &config)
    {
        if (!spots.listen() || !writeFile(dir.filePath(QStringLiteral("config.txt")),
                                          "$RMTHOST 127.0.0.1\r\n$RMTPORT " +
                                              QByteArray::number(spots.port()) + "\r\n" + config))
            return false;
        process.setProcessEnvironment(environment);
        process.start(qEnvironmentVariable("VEMROK_TEST_BINARY"),
                      {QStringLiteral("--headless"), QStringLiteral("-C"), dir.path()});
        return spots.waitForLoggedIn();
    }
    ~HeadlessProgram()
    {
        process.terminate();
        process.waitForFinished(10000);
    }

    // The events read so far whose "event" is kind.
    QList<QJsonObject> events(const QString &kind)
    {
        while (process.canReadLine())
            lines.append(process.readLine());
        QList<QJsonObject> found;
        for (const QByteArray &line : std::as_const(lines)) {
            const QJsonObject event = QJsonDocument::fromJson(line).object();
            if (event.value(QStringLiteral("event")).toString() == kind)
                found.append(event);
        }
        return found;
    }
    // Waits until a status event with this text has come.
    bool waitForStatus(const QString &text)
    {
        return QTest::qWaitFor(
            [&] {
                const QList<QJsonObject> status = events(QStringLiteral("status"));
                return std::any_of(status.cbegin(), status.cend(), [&](const QJsonObject &event) {
                    return event.value(QStringLiteral("text")).toString() == text;
                });
            },
            15000);
    }
    QByteArray file(const QString &name) const { return readFile(dir.filePath(name)); }
};
