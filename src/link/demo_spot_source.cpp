#include "link/demo_spot_source.h"

#include "model/alarm_list.h"

#include <QDateTime>
#include <QTcpServer>
#include <QTcpSocket>

#include <array>

namespace {

struct BandPlan {
    int lowKhz;
    int weight;
};
constexpr std::array<BandPlan, 11> kBands{{{1820, 2},
                                           {3510, 6},
                                           {5352, 1},
                                           {7005, 12},
                                           {10110, 4},
                                           {14010, 16},
                                           {18070, 3},
                                           {21010, 10},
                                           {24890, 2},
                                           {28010, 6},
                                           {50090, 1}}};
constexpr std::array<const char *, 16> kSkimmers{
    "DL8LAS-#", "W3LPL-#", "OH6BG-#", "K9LC-#",   "G4ZFE-#", "SM7IUN-#", "VE6WZ-#",  "JA1HMK-#",
    "DK9IP-#",  "EA5WU-#", "KM3T-#",  "HA1VHF-#", "N2QT-#",  "OK1FCJ-#", "S50ARX-#", "W2NAF-#"};
constexpr std::array<const char *, 24> kCalls{"DL1ABC", "F5XYZ",  "G3ABC", "K1ZZ",   "W1AW",   "OK1RR",
                                              "SP9KAT", "JA7NVF", "UA3AB", "I2XYZ",  "EA3KU",  "VE3EJ",
                                              "PA3FWR", "ON4UN",  "OH2BH", "SM5AJV", "HB9CVQ", "OE1EMS",
                                              "LZ1PM",  "YO3APJ", "S53R",  "9A1A",   "LY2FE",  "ES5TV"};

} // namespace

DemoSpotSource::DemoSpotSource(const AlarmList &list, QObject *parent)
    : QObject(parent), m_list(list), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &DemoSpotSource::onNewConnection);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &DemoSpotSource::sendBurst);
}

bool DemoSpotSource::listen()
{
    return m_server->listen(QHostAddress::LocalHost, 0);
}

quint16 DemoSpotSource::port() const
{
    return m_server->serverPort();
}

void DemoSpotSource::setInterval(int minMs, int maxMs)
{
    m_minMs = minMs;
    m_maxMs = std::max(minMs, maxMs);
}

void DemoSpotSource::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        if (m_client)
            m_client->deleteLater();
        m_client = socket;
        m_received.clear();
        m_linesFromClient = 0;
        m_timer.stop();
        connect(socket, &QTcpSocket::readyRead, this, &DemoSpotSource::onReadyRead);
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (m_client == socket) {
                m_client = nullptr;
                m_timer.stop();
            }
            socket->deleteLater();
        });
        socket->write("\r\nWelcome to the VemrokAlarm demo spot source (no network needed).\r\n\r\n"
                      "Please enter your call: ");
    }
}

void DemoSpotSource::onReadyRead()
{
    if (!m_client)
        return;
    m_received += m_client->readAll();
    if (m_received.size() > 4096)
        m_received = m_received.right(256);
    qsizetype lf = 0;
    while ((lf = m_received.indexOf('\n')) >= 0) {
        const QByteArray line = m_received.left(lf).trimmed();
        m_received.remove(0, lf + 1);
        if (++m_linesFromClient == 1) {
            m_client->write("\r\nHello " + line.left(20) + ", spots follow shortly.\r\n" + line.left(20) +
                            " de DEMO >\r\n");
        } else if (m_linesFromClient == 2) {
            m_timer.start(m_minMs);
        }
    }
}

QByteArray DemoSpotSource::watchedCall()
{
    QList<QByteArray> calls;
    for (int i = 0; i <= m_list.lastCallNr(); ++i) {
        QByteArray call = m_list.at(i).call.toLatin1();
        // A wildcard entry gets a call it matches.
        call.replace('*', "").replace('?', '1');
        if (!call.isEmpty() && !call.contains(' '))
            calls.append(call);
    }
    if (calls.isEmpty())
        return QByteArray("TS0EST");
    return calls.at(int(m_random.bounded(quint32(calls.size()))));
}

QByteArray DemoSpotSource::nextLine()
{
    const int n = m_sent++;
    int total = 0;
    for (const BandPlan &band : kBands)
        total += band.weight;
    int pick = int(m_random.bounded(total));
    const BandPlan *band = kBands.data();
    while (pick >= band->weight)
        pick -= (band++)->weight;
    const double khz = band->lowKhz + m_random.bounded(40000) / 1000.0;

    QByteArray call;
    const quint32 roll = m_random.bounded(100);
    if (n == 2 || roll < 8)
        call = watchedCall();
    else
        call = kCalls[m_random.bounded(quint32(kCalls.size()))];
    if (n == 4 || (n != 2 && roll >= 8 && roll < 16))
        call += "/P";
    const char *skimmer = kSkimmers[m_random.bounded(quint32(kSkimmers.size()))];
    const QTime now = QDateTime::currentDateTimeUtc().time();
    char line[128];
    const quint32 modeRoll = m_random.bounded(100);
    const bool cw = n < 6 || modeRoll < 80;
    const int length = cw ? std::snprintf(line, sizeof line,
                                          "DX de %-9s %8.1f  %-14s CW   %3d dB %3d WPM  CQ      %02d%02dZ",
                                          (QByteArray(skimmer) + ':').constData(), khz, call.constData(),
                                          int(m_random.bounded(35)) + 3, int(m_random.bounded(30)) + 14,
                                          now.hour(), now.minute())
                          : std::snprintf(line, sizeof line,
                                          "DX de %-9s %8.1f  %-14s %-4s %3d dB %3d BPS  CQ      %02d%02dZ",
                                          (QByteArray(skimmer) + ':').constData(), khz, call.constData(),
                                          modeRoll < 90 ? "RTTY" : "FT8", int(m_random.bounded(35)) + 3, 45,
                                          now.hour(), now.minute());
    return QByteArray(line, std::max(0, std::min(length, int(sizeof line) - 1)));
}

void DemoSpotSource::sendBurst()
{
    if (!m_client)
        return;
    const int lines = 1 + int(m_random.bounded(3));
    QByteArray burst;
    for (int i = 0; i < lines; ++i)
        burst += nextLine() + "\r\n";
    m_client->write(burst);
    m_timer.start(m_minMs + int(m_random.bounded(quint32(m_maxMs - m_minMs + 1))));
}
