#include "app/app_core.h"
#include "app/clock.h"
#include "app/json_event_writer.h"
#include "app/unix_signal_watcher.h"
#include "ui/qt_sound_player.h"

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

} // namespace

int main(int argc, char *argv[])
{
    // Headless mode needs no display; the GUI is only created when asked for.
    bool headless = false;
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--headless") == 0)
            headless = true;
    }
    std::unique_ptr<QCoreApplication> app;
    app = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vemrok-alarm"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VEMROK_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("VemrokAlarm: CW spot alarm client for the Reverse Beacon "
                                                    "Network and DX clusters."));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Show this help and exit."));
    const QCommandLineOption versionOption(QStringLiteral("version"), QStringLiteral("Print the version and exit."));
    const QCommandLineOption headlessOption(QStringLiteral("headless"),
                                            QStringLiteral("Run without windows; events go to stdout as JSON lines."));
    const QCommandLineOption dirOption(QStringLiteral("C"),
                                       QStringLiteral("Use DIR as the working folder (config.txt, log.txt, sounds)."),
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
    std::fprintf(stderr, "vemrok-alarm: the desktop program is not built yet; use --headless\n");
    return 2;
}
