#include "app/app_core.h"
#include "app/clock.h"
#include "app/json_event_writer.h"
#include "app/unix_signal_watcher.h"
#include "ui/main_window.h"
#include "ui/message_box_sink.h"
#include "ui/qt_sound_player.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <memory>

namespace {

int runHeadless(const QDir &workDir)
{
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered))
        return 1;
    JsonEventWriter events(out);
    QtSoundPlayer player(workDir);
    SystemClock clock;
    AppCore core(workDir, player, events, clock);
    events.attach(core);
    UnixSignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &UnixSignalWatcher::terminationRequested, &core, [&core] {
        core.exitSequence();
        QCoreApplication::exit(0);
    });
    core.startUp();
    return QCoreApplication::exec();
}

int runGui(const QDir &workDir)
{
    MessageBoxSink messages;
    QtSoundPlayer player(workDir);
    SystemClock clock;
    AppCore core(workDir, player, messages, clock);
    MainWindow window(core, messages);
    // The program ends through the exit sequence only, never because its last window was closed.
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(&window, &MainWindow::finished, qApp, &QCoreApplication::quit, Qt::QueuedConnection);

    // Killed, hung up or logged out: nobody is there to click a message box away.
    const auto endSession = [&window, &messages] {
        messages.setInteractive(false);
        window.endSession();
    };
    UnixSignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &UnixSignalWatcher::terminationRequested, &window, endSession);
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, &window, endSession);

    core.startUp();
    window.show();
    return QApplication::exec();
}

bool wantsWindows(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        for (const char *option : {"--headless", "-h", "--help", "--version"}) {
            if (qstrcmp(argv[i], option) == 0)
                return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    // Headless mode needs no display; the GUI is only created when asked for.
    bool headless = false;
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--headless") == 0)
            headless = true;
    }
    // Help and version need no display either.
    std::unique_ptr<QCoreApplication> app;
    if (wantsWindows(argc, argv))
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vemrok-alarm"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VEMROK_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("VemrokAlarm: CW spot alarm client for the Reverse Beacon "
                       "Network and DX clusters."));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Show this help and exit."));
    const QCommandLineOption versionOption(QStringLiteral("version"),
                                           QStringLiteral("Print the version and exit."));
    const QCommandLineOption headlessOption(
        QStringLiteral("headless"),
        QStringLiteral("Run without windows; events go to stdout as JSON lines."));
    const QCommandLineOption dirOption(
        QStringLiteral("C"), QStringLiteral("Use DIR as the working folder (config.txt, log.txt, sounds)."),
        QStringLiteral("DIR"));
    parser.addOptions({helpOption, versionOption, headlessOption, dirOption});
    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "%s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(helpOption)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(versionOption)) {
        std::printf("%s\n", qPrintable(AppCore::kCaption));
        return 0;
    }
    QDir workDir = QDir::current();
    if (parser.isSet(dirOption)) {
        workDir = QDir(parser.value(dirOption));
        if (!workDir.exists() || !QDir::setCurrent(workDir.absolutePath())) {
            std::fprintf(stderr, "vemrok-alarm: cannot use folder %s\n", qPrintable(parser.value(dirOption)));
            return 2;
        }
        workDir = QDir::current();
    }
    if (headless)
        return runHeadless(workDir);
    return runGui(workDir);
}
