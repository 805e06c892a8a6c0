// Answers the command line, then builds the real services, the console and
// its main window, and adds the windows that the menus open.

#include "app/commandline.h"
#include "audio/enginemediaplayer.h"
#include "audio/enginemediaprobe.h"
#include "audio/enginerecorder.h"
#include "console/autostartfollower.h"
#include "console/console.h"
#include "console/frmabout.h"
#include "console/frmasrunlog.h"
#include "console/frmback.h"
#include "console/frmbackup.h"
#include "console/frmsetup.h"
#include "directory/frmnode.h"
#include "directory/frmremote.h"
#include "directory/frmsource.h"
#include "platform/appfolder.h"
#include "platform/autostart.h"
#include "platform/chinesetext.h"
#include "platform/clock.h"
#include "platform/datafolder.h"
#include "platform/mixer.h"
#include "platform/power.h"
#include "platform/programlauncher.h"
#include "platform/qtserialport.h"
#include "platform/userstore.h"
#include "platform/widgetdialogs.h"
#include "players/frmplaylist.h"
#include "players/frmrec.h"
#include "players/frmvcd.h"
#include "schedule/weekprog.h"
#include "web/webserver.h"
#include "zonelink/frmMatrix.h"
#include "zonelink/frmclock.h"
#include "zonelink/frmmanual.h"
#include "zonelink/frmnodestatus.h"

#include <QApplication>
#include <QDebug>

int main(int argc, char *argv[])
{
    StartOptions options;
    if (const std::optional<int> exitCode = answerCommandLine(argc, argv, options))
        return *exitCode;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QuellonQL-5300"));
    QApplication::setApplicationVersion(QStringLiteral(QUELLON_VERSION));
    if (!useChineseText(app))
        qWarning("Qt's Chinese translation was not found: standard buttons read English");

    SystemClock clock;
    WidgetDialogs dialogs;
    SettingsUserStore store;
    // Sound is made by quellon-audio engines, each in a process of its own
    // that the console watches and replaces: the player's, the probe's, and
    // one for each player window that sounds beside the main player.
    EngineMediaPlayer player;
    AlsaMixer mixer;
    QtSerialPort port;
    LogindPower power;
    ProcessLauncher launcher;
    EngineMediaProbe probe;
    // The data files: beside the executable in a portable installation,
    // else in the operator's data folder (or the one given), which the
    // first start fills with the files the package ships.
    const QString programFolder = QCoreApplication::applicationDirPath();
    const DataFolderChoice data
        = chooseDataFolder(dataFolderFacts(programFolder, options.dataFolder));
    const QString folderProblem = prepareDataFolder(
        data.path,
        data.kind == DataFolderChoice::Kind::Portable ? QString() : seedFolderFor(programFolder));
    const AppFolder folder(data.path);

    Console console({clock, dialogs, store, player, mixer, port, power, launcher, probe, folder});
    frmback window(console);
    dialogs.setParent(&window);
    if (!folderProblem.isEmpty())
        dialogs.notify(folderProblem, QStringLiteral("数据文件夹"), MsgIcon::Error, nullptr);
    if (!data.warning.isEmpty()) {
        qWarning().noquote() << data.warning;
        dialogs.notify(data.warning, QStringLiteral("数据文件夹"), MsgIcon::Exclamation, nullptr);
    }

    // The desktop starts the console at log-in when the operator wants it,
    // the same way it was started now (the data folder given, if it was).
    QStringList command {consoleCommand(QCoreApplication::applicationFilePath(),
                                        programFolder + QStringLiteral("/../../bin"))};
    if (data.kind == DataFolderChoice::Kind::Option)
        command << QStringLiteral("--data-folder") << data.path;
    XdgAutostart autostart(XdgAutostart::defaultFolder(), command);
    AutostartFollower autostartFollower(console.settings(), autostart, dialogs);
    window.addWindow(QStringLiteral("weekprog"),
                     [&console, &dialogs, &folder, &clock, &probe](QWidget *parent) {
                         return new weekprog({dialogs, folder, clock, probe, console.volume(),
                                              console.playback(), console.state(),
                                              console.settings(), console.savedFiles()},
                                             parent);
                     });
    // Apply goes through the console, which has today's list reloaded.
    window.addWindow(QStringLiteral("frmsetup"), [&console, &dialogs, &folder](QWidget *parent) {
        return new frmsetup(
            {dialogs, folder, console.link(), console.settings(),
             [&console](const AppSettings &values) { return console.applySettings(values); }},
            parent);
    });
    window.addWindow(QStringLiteral("frmnode"), [&console, &dialogs, &folder](QWidget *parent) {
        return new frmnode(dialogs, folder, console.settings().configIni(), console.savedFiles(),
                           parent);
    });
    window.addWindow(QStringLiteral("frmsource"), [&console, &dialogs, &folder](QWidget *parent) {
        return new frmsource(dialogs, folder, console.savedFiles(), parent);
    });
    window.addWindow(QStringLiteral("frmremote"), [&console, &dialogs, &folder](QWidget *parent) {
        return new frmremote(dialogs, folder, console.savedFiles(), parent);
    });
    window.addWindow(QStringLiteral("frmclock"),
                     [&console, &dialogs, &clock, &power](QWidget *parent) {
                         return new frmclock(
                             {clock, power, dialogs, console.link(), console.savedFiles()}, parent);
                     });
    window.addWindow(QStringLiteral("frmmanual"), [&console, &dialogs, &folder](QWidget *parent) {
        return new frmmanual({console.link(), dialogs, folder, console.settings(),
                              [&console] { return console.ending(); }},
                             parent);
    });
    window.addWindow(QStringLiteral("frmMatrix"), [&console, &dialogs](QWidget *parent) {
        return new frmMatrix(console.link(), console.state().MatrixRoutes, dialogs, parent);
    });
    window.addWindow(QStringLiteral("frmnodestatus"),
                     [&console, &dialogs, &folder](QWidget *parent) {
                         return new frmnodestatus(console.link(), dialogs, folder, parent);
                     });
    // The players play through their own player, beside the main window's:
    // a playlist or a recording does not stop a scheduled broadcast.
    window.addWindow(QStringLiteral("frmplaylist"),
                     [&console, &dialogs, &folder, &clock, &power](QWidget *parent) {
                         auto *ownPlayer = new EngineMediaPlayer;
                         auto *lengths = new EngineMediaProbe;
                         auto *w = new frmplaylist({dialogs, folder, clock, power, console.log()},
                                                   *ownPlayer, *lengths, parent);
                         ownPlayer->setParent(w);
                         lengths->setParent(w);
                         return w;
                     });
    window.addWindow(QStringLiteral("frmrec"), [&dialogs, &folder, &mixer](QWidget *parent) {
        auto *recorder = new EngineRecorder;
        auto *playback = new EngineMediaPlayer;
        auto *w = new frmrec(dialogs, folder, *recorder, *playback, mixer, parent);
        recorder->setParent(w);
        playback->setParent(w);
        return w;
    });
    window.addWindow(QStringLiteral("frmvcd"), [&dialogs, &folder](QWidget *parent) {
        auto *ownPlayer = new EngineMediaPlayer;
        auto *w = new frmvcd(dialogs, folder, *ownPlayer, parent);
        ownPlayer->setParent(w);
        return w;
    });
    // Backup and restore take the data folder and the settings store's file.
    const DataBackup::Places dataPlaces {folder.path(), store.fileName()};
    window.addWindow(QStringLiteral("frmbackup"), [&dialogs, &clock, dataPlaces](QWidget *parent) {
        return new frmbackup({dialogs, clock, dataPlaces}, parent);
    });
    window.addWindow(QStringLiteral("frmrestore"), [&dialogs, &clock, dataPlaces](QWidget *parent) {
        return new frmrestore({dialogs, clock, dataPlaces}, parent);
    });
    window.addWindow(QStringLiteral("frmAbout"), [&launcher, &dialogs](QWidget *parent) {
        return new frmAbout(launcher, dialogs, parent);
    });
    window.addWindow(QStringLiteral("frmasrunlog"), [&console, &dialogs, &clock](QWidget *parent) {
        return new frmasrunlog(console.asRunLog(), clock, dialogs, parent);
    });

    // The end of the program (the automatic shutdown, the exit commands, the
    // main window closing) ends it whatever windows or messages are open.
    QObject::connect(&console, &Console::programEnds, &app, [] { QCoreApplication::exit(0); });

    // The window appears first; the load sequence follows, and its messages
    // do not hold up the timers.
    window.showMaximized();
    console.startUp();
    // The office page and API: nothing listens until 网络控制 is switched on.
    WebServer web(console);
    web.follow();
    const int code = QApplication::exec();
    // A backup still being written is given up; a restore moving the files
    // goes on to its end, or the data folder would be left half replaced.
    BackupTask::finishAll();
    return code;
}
