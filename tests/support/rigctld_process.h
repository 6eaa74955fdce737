#pragma once

#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>

using namespace Qt::StringLiterals;

// Hamlib's dummy rig behind a real rigctld on a free loopback port, and rigctl to read it back.
class RigctldProcess final {
public:
    static bool installed() { return !QStandardPaths::findExecutable(u"rigctld"_s).isEmpty(); }

    RigctldProcess()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        m_port = probe.serverPort();
    }
    ~RigctldProcess() { stop(); }

    QString path() const { return u"127.0.0.1:%1"_s.arg(m_port); }
    void start()
    {
        m_process.start(u"rigctld"_s,
                        {u"-m"_s, u"1"_s, u"-T"_s, u"127.0.0.1"_s, u"-t"_s, QString::number(m_port)});
    }
    void stop()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    bool isListening() const
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_port);
        return socket.waitForConnected(1000);
    }
    // The first line of rigctl's answer to one command ("f", "m") about the dummy rig.
    QString ask(const QString &command) const
    {
        QProcess rigctl;
        rigctl.start(u"rigctl"_s, {u"-m"_s, u"2"_s, u"-r"_s, path(), command});
        rigctl.waitForFinished(30000);
        return QString::fromUtf8(rigctl.readAllStandardOutput()).section(u'\n', 0, 0);
    }

private:
    QProcess m_process;
    quint16 m_port = 0;
};
