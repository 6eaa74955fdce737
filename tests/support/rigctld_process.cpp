#include "support/rigctld_process.h"

#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>

RigctldProcess::RigctldProcess()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    m_port = probe.serverPort();
}

RigctldProcess::~RigctldProcess()
{
    stop();
}

bool RigctldProcess::installed()
{
    return !QStandardPaths::findExecutable(QStringLiteral("rigctld")).isEmpty();
}

void RigctldProcess::start()
{
    m_process.start(QStringLiteral("rigctld"),
                    {QStringLiteral("-m"), QStringLiteral("1"), QStringLiteral("-T"),
                     QStringLiteral("127.0.0.1"), QStringLiteral("-t"), QString::number(m_port)});
    m_process.waitForStarted();
}

void RigctldProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished();
}

bool RigctldProcess::isListening() const
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, m_port);
    return socket.waitForConnected(1000);
}

QStringList RigctldProcess::ask(const QString &command) const
{
    QProcess rigctl;
    rigctl.start(QStringLiteral("rigctl"),
                 {QStringLiteral("-m"), QStringLiteral("2"), QStringLiteral("-r"), path(), command});
    rigctl.waitForFinished(30000);
    return QString::fromUtf8(rigctl.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}
