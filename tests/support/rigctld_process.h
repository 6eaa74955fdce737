#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// Hamlib's dummy rig behind a real rigctld on a free loopback port, and rigctl to read it back.
class RigctldProcess final {
public:
    RigctldProcess();
    ~RigctldProcess();

    static bool installed();

    void start();
    void stop();
    bool isListening() const;
    quint16 port() const { return m_port; }
    QString path() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }

    // One rigctl command against the dummy rig ("f", "m"): its answer's lines.
    QStringList ask(const QString &command) const;

private:
    QProcess m_process;
    quint16 m_port = 0;
};
