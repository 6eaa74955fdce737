#include "app/app_core.h"
#include "app/json_event_writer.h"
#include "app/unix_signal_watcher.h"
#include "app/working_folder.h"
#include "country/country_file.h"
#include "country/country_table.h"
#include "link/demo_spot_source.h"
#include "model/alarm_list.h"
#include "model/clock.h"
#include "model/config_file.h"
#include "model/settings.h"
#include "ui/main_window.h"
#include "ui/message_box_sink.h"
#include "ui/qt_sound_player.h"
#include "version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>

#include <csignal>
#include <cstdio>
#include <memory>

namespace {

// "--demo": a spot source inside the program, on a loopback port, instead of the configured server.
std::unique_ptr<DemoSpotSource> startDemo(AppCore &core)
{
    auto demo = std::make_unique<DemoSpotSource>(core.alarmList());
    if (!demo->listen()) {
        std::fprintf(stderr, "vemrok-alarm: the demo spot source cannot listen on 127.0.0.1\n");
        return nullptr;
    }
    core.setServerOverride(QStringLiteral("127.0.0.1"), demo->port());
    return demo;
}

int runHeadless(const QDir &workDir, bool demo)
{
    // A reader of the event stream that goes away must not kill the program before it saves config.txt.
    std::signal(SIGPIPE, SIG_IGN);
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered))
        return 1;
    JsonEventWriter events(out);
    QtSoundPlayer player(workDir);
    SystemClock clock;
    AppCore core(workDir, player, events, clock);
    events.attach(core);
    const auto demoSource = demo ? startDemo(core) : nullptr;
    UnixSignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &UnixSignalWatcher::terminationRequested, &core, [&core] {
        core.exitSequence();
        QCoreApplication::exit(0);
    });
    core.startUp();
    return QCoreApplication::exec();
}

int runGui(const QDir &workDir, bool demo)
{
    MessageBoxSink messages;
    QtSoundPlayer player(workDir);
    SystemClock clock;
    AppCore core(workDir, player, messages, clock);
    const auto demoSource = demo ? startDemo(core) : nullptr;
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
    // A signal that came while a start-up message was open has run the exit sequence already; exec()
    // would not see the quit it asked for.
    if (window.hasFinished())
        return 0;
    window.show();
    return QApplication::exec();
}

// A second copy in the same folder would overwrite the first one's config.txt at exit and mix into its
// log.txt and alarms.log. It says so and ends before touching any file.
void tellAlreadyRunning(const QDir &workDir, bool headless)
{
    const QString text = QStringLiteral("VemrokAlarm is already running in %1")
                             .arg(QDir::toNativeSeparators(workDir.absolutePath()));
    if (!headless) {
        MessageBoxSink().show(text);
        return;
    }
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered))
        return;
    JsonEventWriter events(out);
    events.show(text);
    events.flush();
}

// "--lookup CALL...": the country file's answer for each call, one tab-separated line each.
int runLookup(const QDir &workDir, const QStringList &calls)
{
    Settings settings;
    settings.applyDefaults();
    AlarmList list;
    ConfigFile::read(workDir.filePath(ConfigFile::kFileName), settings, list);
    QString error;
    const auto table =
        CountryFile::load(CountryFile::locate(workDir, settings.text(Settings::Text::CtyFile)), &error);
    if (!table) {
        std::fprintf(stderr, "vemrok-alarm: %s\n", error.toLocal8Bit().constData());
        return 2;
    }
    QByteArray out;
    for (const QString &call : calls) {
        QStringList fields(call);
        if (const std::optional<Resolved> resolved = table->resolve(call)) {
            const Entity &entity = *resolved->entity;
            fields << entity.name << entity.primaryPrefix << resolved->continent
                   << QString::number(resolved->cqZone) << QString::number(resolved->ituZone)
                   << QString::number(entity.dxcc);
        } else {
            fields << QStringList(6);
        }
        out += fields.join(u'\t').toUtf8() + '\n';
    }
    std::fwrite(out.constData(), 1, static_cast<std::size_t>(out.size()), stdout);
    return 0;
}

bool wantsWindows(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        for (const char *option : {"--headless", "-h", "--help", "--version", "--lookup"}) {
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
    const bool noDisplay = qEnvironmentVariableIsEmpty("DISPLAY") &&
                           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
                           qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    if (wantsWindows(argc, argv) && noDisplay) {
        std::fprintf(stderr, "vemrok-alarm: no display to show windows on; start it with --headless to run "
                             "without windows\n");
        return 2;
    }
    if (wantsWindows(argc, argv))
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vemrok-alarm"));
    QCoreApplication::setApplicationVersion(QLatin1StringView(kVersion));

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
    const QCommandLineOption demoOption(
        QStringLiteral("demo"),
        QStringLiteral("Connect to a built-in demo spot source instead of the configured server."));
    const QCommandLineOption lookupOption(
        QStringLiteral("lookup"),
        QStringLiteral("Print entity, prefix, continent, CQ and ITU zone and DXCC number of each CALL."));
    parser.addOptions({helpOption, versionOption, headlessOption, demoOption, dirOption, lookupOption});
    parser.addPositionalArgument(QStringLiteral("CALL"), QStringLiteral("Calls for --lookup."),
                                 QStringLiteral("[CALL...]"));
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
    const QString folder = chooseWorkingFolder(parser.value(dirOption), QDir::currentPath(), QDir::homePath(),
                                               qEnvironmentVariable("XDG_DATA_HOME"));
    // Looking up only reads: no folder is created or locked.
    if (parser.isSet(lookupOption))
        return runLookup(QDir(folder), parser.positionalArguments());
    // A folder of our own is created when missing; a folder given with -C must exist.
    if (!parser.isSet(dirOption) && !QDir().mkpath(folder)) {
        std::fprintf(stderr, "vemrok-alarm: cannot create folder %s\n", qPrintable(folder));
        return 2;
    }
    if (!QDir(folder).exists() || !QDir::setCurrent(folder)) {
        std::fprintf(stderr, "vemrok-alarm: cannot use folder %s\n", qPrintable(folder));
        return 2;
    }
    const QDir workDir = QDir::current();
    QLockFile lock(workDir.filePath(QStringLiteral(".vemrok-alarm.lock")));
    // Only a lock whose program has ended is stale, however long the running one has held it.
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0)) {
        if (lock.error() == QLockFile::LockFailedError) {
            tellAlreadyRunning(workDir, headless);
            return 3;
        }
        // A folder the lock cannot be made in (read-only, say) is no reason to refuse the operator.
        std::fprintf(stderr, "vemrok-alarm: cannot lock the folder %s; not guarding against a second copy\n",
                     qPrintable(workDir.absolutePath()));
    }
    if (headless)
        return runHeadless(workDir, parser.isSet(demoOption));
    return runGui(workDir, parser.isSet(demoOption));
}
