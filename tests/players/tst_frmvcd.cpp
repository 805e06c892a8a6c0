// The VCD window over a player it is given: what the operator's clicks ask of
// the player, and which transport buttons each state leaves usable.
#include "platform/appfolder.h"
#include "players/frmvcd.h"
#include "support/fakedialogs.h"
#include "support/fakemediaplayer.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_frmvcd : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void operatorSteps_data();
    void operatorSteps();
};

void tst_frmvcd::operatorSteps_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("calls");
    // Play, pause and stop usable, as '1' or '0'.
    QTest::addColumn<QString>("buttons");
    QTest::addColumn<QString>("error");

    QTest::newRow("nothing opened") << QStringList {} << QStringList {} << u"000"_s << QString();
    QTest::newRow("open cancelled")
        << QStringList {u"cancel"_s} << QStringList {} << u"000"_s << QString();
    QTest::newRow("opened: held at its first picture")
        << QStringList {u"open"_s} << QStringList {u"load /v/a.dat"_s, u"pause"_s} << u"101"_s
        << QString();
    QTest::newRow("opened and played")
        << QStringList {u"open"_s, u"play"_s}
        << QStringList {u"load /v/a.dat"_s, u"pause"_s, u"play"_s} << u"011"_s << QString();
    QTest::newRow("paused") << QStringList {u"open"_s, u"play"_s, u"pause"_s}
                            << QStringList {u"load /v/a.dat"_s, u"pause"_s, u"play"_s, u"pause"_s}
                            << u"101"_s << QString();
    QTest::newRow("stopped") << QStringList {u"open"_s, u"play"_s, u"stop"_s}
                             << QStringList {u"load /v/a.dat"_s, u"pause"_s, u"play"_s, u"stop"_s}
                             << u"100"_s << QString();
    QTest::newRow("ran out: can be played again")
        << QStringList {u"open"_s, u"play"_s, u"end"_s}
        << QStringList {u"load /v/a.dat"_s, u"pause"_s, u"play"_s} << u"100"_s << QString();
    QTest::newRow("failed: shown, nothing to play")
        << QStringList {u"open"_s, u"play"_s, u"fail"_s}
        << QStringList {u"load /v/a.dat"_s, u"pause"_s, u"play"_s} << u"000"_s
        << u"无法播放：no decoder"_s;
    QTest::newRow("a new file clears the error")
        << QStringList {u"open"_s, u"fail"_s, u"open"_s}
        << QStringList {u"load /v/a.dat"_s, u"pause"_s, u"load /v/a.dat"_s, u"pause"_s} << u"101"_s
        << QString();
    QTest::newRow("closing stops")
        << QStringList {u"open"_s, u"play"_s, u"close"_s}
        << QStringList {u"load /v/a.dat"_s, u"pause"_s, u"play"_s, u"stop"_s} << u"100"_s
        << QString();
}

void tst_frmvcd::operatorSteps()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, calls);
    QFETCH(QString, buttons);
    QFETCH(QString, error);

    QTemporaryDir dir;
    const AppFolder folder(dir.path());
    FakeDialogs dialogs;
    FakeMediaPlayer player;
    frmvcd window(dialogs, folder, player);
    const auto button
        = [&window](const QString &name) { return window.findChild<QPushButton *>(name); };
    for (const QString &step : steps) {
        if (step == u"open" || step == u"cancel") {
            dialogs.files.enqueue(step == u"open" ? u"/v/a.dat"_s : QString());
            QTest::mouseClick(button(u"cmdopen"_s), Qt::LeftButton);
            // The dialog starts in the song folder, for VCD files.
            QCOMPARE(dialogs.fileDialogFolders.constLast(), folder.file(u"\\song"_s));
        } else if (step == u"play" || step == u"pause" || step == u"stop") {
            QTest::mouseClick(button(u"mmcvcd_"_s + step), Qt::LeftButton);
        } else if (step == u"end") {
            player.finish();
        } else if (step == u"fail") {
            player.setPlaying(false);
            Q_EMIT player.failed(u"no decoder"_s);
        } else if (step == u"close") {
            window.close();
        }
    }
    QCOMPARE(player.calls, calls);
    const QString usable = QString(button(u"mmcvcd_play"_s)->isEnabled() ? u'1' : u'0')
        + (button(u"mmcvcd_pause"_s)->isEnabled() ? u'1' : u'0')
        + (button(u"mmcvcd_stop"_s)->isEnabled() ? u'1' : u'0');
    QCOMPARE(usable, buttons);
    QCOMPARE(window.findChild<QLabel *>(u"mmcvcd_error"_s)->text(), error);
}

QTEST_MAIN(tst_frmvcd)
#include "tst_frmvcd.moc"
