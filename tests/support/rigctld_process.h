#pragma once

#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>

// Hamlib's dummy rig behind a real rigctld on a free loopback port, and rigctl to read it back.
class RigctldProcess final {
public:
    static bool installed() { return !QStandardPaths::findExecutable(QStringLiteral("rigctld")).isEmpty(); }

    RigctldProcess()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        m_port = probe.serverPort();
    }
    ~RigctldProcess() { stop(); }

    QString path() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    void start()
    {
        m_process.start(QStringLiteral("rigctld"),
                        {QStringLiteral("-m"), QStringLiteral("1"), QStringLiteral("-T"),
                         QStringLiteral("127.0.0.1"), QStringLiteral("-t"), QString::number(m_port)});
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
        rigctl.start(QStringLiteral("rigctl"),
                     {QStringLiteral("-m"), QStringLiteral("2"), QStringLiteral("-r"), path(), command});
        rigctl.waitForFinished(30000);
        return QString::fromUtf8(rigctl.readAllStandardOutput()).section(u'\n', 0, 0);
    }

private:
    QProcess m_process;
    quint16 m_port = 0;
};
