// Desktop notifications: the real program on a session bus of the test's own, with a notification service
// the test plays, and without one.
#include "outlets/desktop_notifier.h"
#include "support/headless_program.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// org.freedesktop.Notifications as a desktop has it: keeps what it was asked to show.
class NotificationService final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QList<QStringList> shown; // app name, summary, body

public slots:
    uint Notify(const QString &appName, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &, const QVariantMap &, int)
    {
        shown.append({appName, summary, body});
        return static_cast<uint>(shown.size());
    }
};

} // namespace

class TestNotify final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // A bus that starts no service on demand: the notification daemons installed here stay out of it.
        QVERIFY(writeFile(
            m_dir.filePath(u"bus.conf"_s),
            "<busconfig><type>session</type><listen>unix:tmpdir=" + m_dir.path().toUtf8() +
                "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\"/>"
                "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>"));
        m_bus.start(u"dbus-daemon"_s, {u"--config-file"_s, m_dir.filePath(u"bus.conf"_s), u"--nofork"_s,
                                       u"--print-address=1"_s});
        QVERIFY(m_bus.waitForReadyRead(10000));
        m_address = QString::fromUtf8(m_bus.readLine().trimmed());
        QVERIFY(!m_address.isEmpty());
    }

    void cleanupTestCase()
    {
        m_bus.terminate();
        m_bus.waitForFinished(5000);
    }

    void alarmGoesToTheNotificationService()
    {
        QDBusConnection bus = connect();
        NotificationService service;
        QVERIFY(bus.registerObject(u"/org/freedesktop/Notifications"_s, &service,
                                   QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(u"org.freedesktop.Notifications"_s));
        HeadlessProgram program;
        program.environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, m_address);
        QVERIFY(program.start("$NOTIFY on\r\n$CALL TS0EST\r\n$TXT TS0EST is on the air\r\n"));
        program.spots.send(rbnBytes(u"DL8LAS-#", u"14025.0", u"TS0EST"));
        QTRY_COMPARE_WITH_TIMEOUT(service.shown.size(), 1, 10000);
        QCOMPARE(service.shown.first(),
                 (QStringList{u"VemrokAlarm"_s, u"TS0EST 14025.0 kHz"_s, u"TS0EST is on the air"_s}));
        QVERIFY(bus.unregisterService(u"org.freedesktop.Notifications"_s));
        QDBusConnection::disconnectFromBus(bus.name());
    }

    void withoutAServiceTheProgramSaysSoAndGoesOn()
    {
        HeadlessProgram program;
        program.environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, m_address);
        QVERIFY(program.start("$NOTIFY on\r\n$PORTAL on\r\n$CALL TS0EST\r\n"));
        program.spots.send(rbnBytes(u"DL8LAS-#", u"14025.0", u"TS0EST"));
        const QString told = u"desktop notifications: no notification service on the session bus"_s;
        QVERIFY(program.waitForStatus(told));
        program.spots.send(rbnBytes(u"W3LPL-#", u"7003.9", u"DL1ABC/P"));
        QTRY_COMPARE(program.events(u"portable_alarm"_s).size(), 1);
    }

    void missingServiceIsToldOncePerRun()
    {
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toUtf8());
        DesktopNotifier notifier;
        QSignalSpy told(&notifier, &DesktopNotifier::unavailable);
        notifier.notify(u"TS0EST 14025.0 kHz"_s, u"one"_s);
        notifier.notify(u"TS0EST 14025.0 kHz"_s, u"two"_s);
        // Replies come in order: once this call is answered, both notifications have been.
        QVERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered(u"org.freedesktop.DBus"_s));
        QTRY_COMPARE(told.size(), 1);
        QCoreApplication::processEvents();
        QCOMPARE(told.size(), 1);
    }

private:
    QDBusConnection connect();

    QTemporaryDir m_dir;
    QProcess m_bus;
    QString m_address;
    int m_connections = 0;
};

QDBusConnection TestNotify::connect()
{
    return QDBusConnection::connectToBus(m_address, u"test%1"_s.arg(++m_connections));
}

QTEST_GUILESS_MAIN(TestNotify)
#include "test_notify.moc"