#include "support/gui_test_rig.h"

#include "app/app_core.h"

#include <QDir>
#include <QFile>

GuiTestRig::GuiTestRig(const QStringList &configLines)
{
    server.listen();
    QStringList lines{QStringLiteral("$RMTHOST 127.0.0.1"), QStringLiteral("$RMTPORT %1").arg(server.port())};
    lines += configLines;
    QFile config(m_dir.filePath(QStringLiteral("config.txt")));
    if (config.open(QIODevice::WriteOnly))
        config.write((lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
    config.close();
    m_core = std::make_unique<AppCore>(QDir(m_dir.path()), player, messages, clock);
    m_core->startUp();
}

GuiTestRig::~GuiTestRig() = default;

void GuiTestRig::spot(const QString &call, const QString &qrg, int wpm)
{
    m_core->processLine(rbnLine(u"DL8LAS-#", qrg, call, wpm));
}

namespace {
QtMessageHandler g_previousHandler = nullptr;

void dropRaiseWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains(QLatin1StringView("does not support raise()")))
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}
} // namespace

void GuiTestRig::quietOffscreenWarnings()
{
    if (!g_previousHandler)
        g_previousHandler = qInstallMessageHandler(dropRaiseWarnings);
}

QStringList GuiTestRig::entries(const QStringList &calls)
{
    QStringList lines;
    for (const QString &call : calls) {
        lines << QStringLiteral("$CALL ") + call
              << QStringLiteral("$TXT ") + call + QStringLiteral(" calls CQ")
              << QStringLiteral("$SOUND ") + call.toLower() + QStringLiteral(".wav")
              << QStringLiteral("$ENABLE on") << QStringLiteral("$BLOCKTIME 30");
    }
    return lines;
}
