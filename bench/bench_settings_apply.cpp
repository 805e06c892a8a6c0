// How long "应 用" in the settings dialog holds up the event loop: the real
// dialog on a console over the real per-user store (broadcast.conf in a
// folder of its own, on the disk of the temporary folder or the one given
// as the first argument), offscreen. A 1 ms timer runs beside it and keeps
// the longest gap between its ticks; Apply is pressed every 50 ms with a
// changed user name and shutdown box, then again with the video box changed
// as well (config.ini is written then too). For comparison, the same
// fifteen values written one by one outside a batch, as Apply wrote them
// before.

#include "console/consolerig.h"
#include "console/frmsetup.h"
#include "platform/userstore.h"
#include "stallwatch.h"
#include "support/consolewindows.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int kApplies = 40;
constexpr int kApplyIntervalMs = 50;

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The store's place is fixed when it is first used.
    const QString base = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    QTemporaryDir configHome(base + QStringLiteral("/bench-settings-XXXXXX"));
    if (!configHome.isValid())
        return 1;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
    QApplication app(argc, argv);
    QTextStream out(stdout);

    ConsoleRig rig;
    SettingsUserStore store;
    Console console(Console::Services {rig.clock, rig.dialogs, store, rig.player, rig.mixer,
                                       rig.port, rig.power, rig.launcher, rig.probe,
                                       AppFolder(rig.dir.path())});
    console.startUp();
    frmsetup dialog(setupServices(console));
    dialog.show();
    auto *user = dialog.findChild<QLineEdit *>(QStringLiteral("txtuser"));
    auto *shutdown = dialog.findChild<QCheckBox *>(QStringLiteral("chkopen"));
    auto *apply = dialog.findChild<QPushButton *>(QStringLiteral("cmdapp"));
    if (!user || !shutdown || !apply)
        return 1;
    out << "store: " << store.fileName() << "\n";

    auto *video = dialog.findChild<QCheckBox *>(QStringLiteral("chkdisppic"));
    // Applies kApplies times, changing the video box too when asked (then
    // config.ini is written as well as the store).
    const auto applyRepeatedly = [&](bool changeVideo) {
        StallWatch watchdog;
        QList<double> applies;
        QTimer presses;
        presses.setInterval(kApplyIntervalMs);
        QObject::connect(&presses, &QTimer::timeout, &app, [&] {
            user->setText(QStringLiteral("第%1中学").arg(applies.size()));
            shutdown->click();
            if (changeVideo)
                video->click();
            QElapsedTimer t;
            t.start();
            apply->click();
            applies.append(t.nsecsElapsed() / 1e6);
            if (applies.size() == kApplies) {
                presses.stop();
                QTimer::singleShot(kApplyIntervalMs, &app, &QCoreApplication::quit);
            }
        });
        watchdog.start();
        presses.start();
        app.exec();
        watchdog.stop();
        out << kApplies << " applies through the dialog"
            << (changeVideo ? ", the video box changed too: " : ": ") << medianAndSlowest(applies)
            << "; longest stall of the event loop: "
            << QString::number(watchdog.longestMs(), 'f', 2) << " ms (goal: at most 20 ms)\n";
        out.flush();
    };
    applyRepeatedly(false);
    applyRepeatedly(true);
    if (!store.writeError().isEmpty()) {
        out << "not saved: " << store.writeError() << "\n";
        return 1;
    }

    // The same fifteen values, each written to the disk at once.
    QList<double> oneByOne;
    for (int run = 0; run < 9; ++run) {
        QElapsedTimer t;
        t.start();
        for (int key = 0; key < 15; ++key)
            store.setSetting(QStringLiteral("bench%1").arg(key), QString::number(run));
        oneByOne.append(t.nsecsElapsed() / 1e6);
    }
    out << "for comparison, fifteen values written one by one: " << medianAndSlowest(oneByOne)
        << "\n";
    return 0;
}
