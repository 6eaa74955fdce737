// Push to the phone: what the real program POSTs for its alarms, the token kept out of every
// text, failures told without holding up the alarm, the rate limit, HTTPS with a certificate the test
// makes, and config.txt kept its owner's alone.
#include "app/app_core.h"
#include "model/config_saver.h"
#include "model/settings.h"
#include "outlets/alarm_outlets.h"
#include "outlets/push_rate_limiter.h"
#include "outlets/push_sender.h"
#include "support/core_in_folder.h"
#include "support/headless_program.h"
#include "support/test_http_server.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QByteArray kToken = "tk_s3cret-7Qx";
const QByteArray kCallText = "TS0EST is on the air, go and work him!";

QByteArray pushConfig(const TestHttpServer &server, const QByteArray &more = {})
{
    return "$PORTAL on\r\n$LOGFILE on\r\n$PUSHURL " + server.url() + "\r\n$PUSHTOKEN " + kToken + "\r\n" +
           more + "$CALL TS0EST\r\n$TXT " + kCallText + "\r\n";
}

OutletAlarm numbered(int n)
{
    return OutletAlarm::callAlarm(0, u"TS0EST"_s, u"alarm %1"_s.arg(n), u"14025.0"_s);
}

} // namespace

class TestPush final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(QFile::exists(qEnvironmentVariable("VEMROK_TEST_BINARY")));
        // Qt makes no certificates; openssl does, for 127.0.0.1.
        QProcess openssl;
        openssl.start(u"openssl"_s,
                      {u"req"_s, u"-x509"_s, u"-newkey"_s, u"rsa:2048"_s, u"-nodes"_s, u"-days"_s, u"2"_s,
                       u"-subj"_s, u"/CN=127.0.0.1"_s, u"-addext"_s, u"subjectAltName=IP:127.0.0.1"_s,
                       u"-keyout"_s, m_dir.filePath(u"key.pem"_s), u"-out"_s, m_dir.filePath(u"cert.pem"_s)});
        QVERIFY(openssl.waitForFinished(30000));
        QCOMPARE(openssl.exitCode(), 0);
        m_certificate = QSslCertificate(readFile(m_dir.filePath(u"cert.pem"_s)));
        m_key = QSslKey(readFile(m_dir.filePath(u"key.pem"_s)), QSsl::Rsa);
        QVERIFY(!m_key.isNull());
    }

    void alarmIsPostedAsTextWithNtfyHeaders_data()
    {
        for (const char *column : {"spot", "body", "title", "tags", "priority"})
            QTest::addColumn<QByteArray>(column);
        QTest::newRow("call") << rbnBytes(u"DL8LAS-#", u"14025.0", u"TS0EST")
                              << "TS0EST 14025.0 kHz: " + kCallText << "VemrokAlarm: TS0EST"_ba
                              << "radio,call"_ba
                              << "4"_ba;
        QTest::newRow("portable") << rbnBytes(u"W3LPL-#", u"7003.9", u"DL1ABC/P")
                                  << "DL1ABC/P 7003.9 kHz: portable station"_ba
                                  << "VemrokAlarm: DL1ABC/P"_ba
                                  << "radio,portable"_ba
                                  << "3"_ba;
    }

    void alarmIsPostedAsTextWithNtfyHeaders()
    {
        QFETCH(QByteArray, spot);
        TestHttpServer push;
        QVERIFY(push.listen());
        HeadlessProgram program;
        QVERIFY(program.start(pushConfig(push)));
        program.spots.send(spot);
        QTRY_COMPARE_WITH_TIMEOUT(push.requests.size(), 1, 10000);
        const TestHttpServer::Request &request = push.requests.first();
        QCOMPARE(request.method, "POST"_ba);
        QCOMPARE(request.path, "/alarms"_ba);
        QTEST(request.body, "body");
        QCOMPARE(request.headers.value("content-type"), "text/plain; charset=utf-8"_ba);
        QTEST(request.headers.value("title"), "title");
        QTEST(request.headers.value("tags"), "tags");
        QTEST(request.headers.value("priority"), "priority");
        QCOMPARE(request.headers.value("authorization"), "Bearer " + kToken);
    }

    void jsonBodyIsTheStreamsEventLine()
    {
        TestHttpServer push;
        QVERIFY(push.listen());
        HeadlessProgram program;
        QVERIFY(program.start(pushConfig(push, "$PUSHJSON on\r\n")));
        program.spots.send(rbnBytes(u"DL8LAS-#", u"14025.0", u"TS0EST"));
        QTRY_COMPARE_WITH_TIMEOUT(push.requests.size(), 1, 10000);
        QTRY_COMPARE(program.events(u"call_alarm"_s).size(), 1);
        const auto event =
            std::find_if(program.lines.cbegin(), program.lines.cend(),
                         [](const QByteArray &line) { return line.contains("\"call_alarm\""); });
        QCOMPARE(push.requests.first().body, event->trimmed());
        QCOMPARE(push.requests.first().headers.value("content-type"), "application/json"_ba);
    }

    void tokenReachesNoTextButTheHeader()
    {
        TestHttpServer push;
        push.status = 403;
        QVERIFY(push.listen());
        HeadlessProgram program;
        QVERIFY(program.start(pushConfig(push)));
        program.spots.send(rbnBytes(u"DL8LAS-#", u"14025.0", u"TS0EST"));
        QVERIFY(program.waitForStatus(u"push: HTTP 403"_s));
        program.process.terminate();
        QVERIFY(program.process.waitForFinished(10000));
        QVERIFY(!program.lines.join().contains(kToken));
        QVERIFY(!program.process.readAllStandardOutput().contains(kToken));
        QVERIFY(!program.process.readAllStandardError().contains(kToken));
        QVERIFY(!program.file(u"alarms.log"_s).contains(kToken));
        QVERIFY(!program.file(u"log.txt"_s).contains(kToken));
        QVERIFY(!push.requests.first().body.contains(kToken));
    }

    void callAlarmEventComesWhilePushHangs()
    {
        TestHttpServer push;
        push.status = 0; // takes the request and never answers
        QVERIFY(push.listen());
        HeadlessProgram program;
        QVERIFY(program.start(pushConfig(push)));
        program.spots.send(rbnBytes(u"DL8LAS-#", u"14025.0", u"TS0EST"));
        QTRY_COMPARE_WITH_TIMEOUT(push.requests.size(), 1, 10000);
        // The push is still unanswered; the alarm went out all the same, and the next one does too.
        program.spots.send(rbnBytes(u"DL8LAS-#", u"14025.0", u"DL1ABC/P"));
        QTRY_COMPARE(program.events(u"portable_alarm"_s).size(), 1);
        QCOMPARE(program.events(u"call_alarm"_s).size(), 1);
    }

    void failureIsToldAndLogged_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("token");
        QTest::addColumn<QString>("told");
        const QString badToken = u"push: token holds characters a header cannot carry"_s;
        QTest::newRow("refused") << -1 << QByteArray() << u"push: connection refused"_s;
        QTest::newRow("HTTP 500") << 500 << QByteArray() << u"push: HTTP 500"_s;
        QTest::newRow("token with DEL") << 200 << QByteArray("tk_\x7f") << badToken;
        QTest::newRow("token with 8-bit") << 200 << QByteArray("tk_\xc3\xa9") << badToken;
        QTest::newRow("token with a control") << 200 << QByteArray("tk_\x1f") << badToken;
    }

    void failureIsToldAndLogged()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, token);
        QFETCH(QString, told);
        TestHttpServer push;
        push.status = status;
        QVERIFY(push.listen());
        if (status < 0)
            push.refuse();
        HeadlessProgram program;
        QVERIFY(
            program.start(pushConfig(push, token.isEmpty() ? QByteArray() : "$PUSHTOKEN " + token + "\r\n")));
        program.spots.send(rbnBytes(u"DL8LAS-#", u"14025.0", u"TS0EST"));
        QVERIFY(program.waitForStatus(told));
        const QByteArray logged =
            "\tpush_failed\tTS0EST\t14025.0\t" + told.mid(6).toUtf8() + ": TS0EST 14025.0 kHz: ";
        QVERIFY2(program.file(u"alarms.log"_s).contains(logged), program.file(u"alarms.log"_s));
    }

    void retryFollowsTheKindOfFailure_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("tls");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("retrying");
        QTest::newRow("HTTP 403") << 403 << false << u"HTTP 403"_s << false;
        QTest::newRow("HTTP 503") << 503 << false << u"HTTP 503"_s << true;
        QTest::newRow("no answer") << 0 << false << u"timeout"_s << true;
        QTest::newRow("untrusted certificate") << 200 << true << u"TLS: certificate not trusted"_s << false;
    }

    void retryFollowsTheKindOfFailure()
    {
        QFETCH(int, status);
        QFETCH(bool, tls);
        TestHttpServer push;
        push.status = status;
        if (tls)
            push.setTls(m_certificate, m_key);
        QVERIFY(push.listen());
        Settings settings;
        settings.setText(Settings::Text::PushUrl, QString::fromLatin1(push.url()));
        PushSender sender(settings);
        sender.setTimeoutMs(200);
        QSignalSpy failed(&sender, &PushSender::failed);
        sender.send(numbered(1));
        QTRY_COMPARE(failed.size(), 1);
        QTEST(failed.first().at(0).toString(), "reason");
        QTEST(failed.first().at(2).toBool(), "retrying");
    }

    void burstOfElevenGivesTenAndOneHeldBack()
    {
        qint64 now = 0;
        PushRateLimiter limiter([&now] { return now; });
        QSignalSpy released(&limiter, &PushRateLimiter::released);
        for (int n = 1; n <= 11; ++n)
            limiter.submit(numbered(n));
        QCOMPARE(released.size(), 10);
        now = PushRateLimiter::kWindowMs;
        limiter.expire();
        QCOMPARE(released.size(), 11);
        QCOMPARE(released.last().first().value<OutletAlarm>().line(),
                 u"1 alarm held back: the last was TS0EST 14025.0 kHz: alarm 11"_s);
    }

    void httpsVerifiesTheCertificate_data()
    {
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<int>("requests");
        QTest::newRow("CA added by VEMROK_CA_FILE") << true << 1;
        QTest::newRow("unknown CA") << false << 0;
    }

    void httpsVerifiesTheCertificate()
    {
        QFETCH(bool, trusted);
        TestHttpServer push;
        push.setTls(m_certificate, m_key);
        QVERIFY(push.listen());
        HeadlessProgram program;
        if (trusted)
            program.environment.insert(u"VEMROK_CA_FILE"_s, m_dir.filePath(u"cert.pem"_s));
        QVERIFY(program.start(pushConfig(push)));
        program.spots.send(rbnBytes(u"DL8LAS-#", u"14025.0", u"TS0EST"));
        if (trusted)
            QTRY_COMPARE_WITH_TIMEOUT(push.requests.size(), 1, 10000);
        else
            QVERIFY(program.waitForStatus(u"push: TLS: certificate not trusted"_s));
        QTEST(static_cast<int>(push.requests.size()), "requests");
    }

    void configWithATokenIsTheOwnersAlone_data()
    {
        QTest::addColumn<bool>("atExit");
        QTest::newRow("autosave") << false;
        QTest::newRow("exit") << true;
    }

    void configWithATokenIsTheOwnersAlone()
    {
        QFETCH(bool, atExit);
        CoreInFolder rig("$RMTHOST 127.0.0.1\r\n$RMTPORT 9\r\n");
        const QString path = rig.path(u"config.txt"_s);
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        rig.core.startUp();
        rig.core.settings().setText(Settings::Text::PushToken,
                                    QString::fromLatin1(kToken)); // the dialog's Quit
        if (atExit)
            QVERIFY(rig.core.exitSequence());
        else
            rig.core.configSaver().expire();
        QVERIFY(readFile(path).contains(kToken));
        QCOMPARE(QFile::permissions(path),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    }

private:
    QTemporaryDir m_dir;
    QSslCertificate m_certificate;
    QSslKey m_key;
};

QTEST_GUILESS_MAIN(TestPush)
#include "test_push.moc"