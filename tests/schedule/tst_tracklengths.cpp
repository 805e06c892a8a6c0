// Track lengths for the schedule editor: files probed one after another, in
// order, each length told once; a cancelled or replaced run says nothing
// more; the "HH:mm:ss" text of a length taken once, twice or three times.

#include "schedule/tracklengths.h"
#include "support/fakemediaprobe.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

using Lengths = QList<qint64>;

class tst_TrackLengths : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void lengthText_data();
    void lengthText();
    void lengthsInOrder_data();
    void lengthsInOrder();
    void cancelStopsAtOnce_data();
    void cancelStopsAtOnce();
    void startWhileRunningReplacesTheRun();
    void cancelWhenIdleSaysNothing();
    void answersForOtherFilesAreIgnored();

private:
    // Everything the fake probe has queued so far has been delivered.
    static bool drainQueued(QObject *context);
};

bool tst_TrackLengths::drainQueued(QObject *context)
{
    bool done = false;
    QMetaObject::invokeMethod(
        context, [&done] { done = true; }, Qt::QueuedConnection);
    return QTest::qWaitFor([&done] { return done; }, 5000);
}

void tst_TrackLengths::lengthText_data()
{
    QTest::addColumn<qint64>("milliseconds");
    QTest::addColumn<int>("times");
    QTest::addColumn<QString>("text");
    QTest::newRow("59.6 s") << qint64(59600) << 1 << u"00:00:59"_s;
    QTest::newRow("59.6 s twice") << qint64(59600) << 2 << u"00:01:58"_s;
    QTest::newRow("59.6 s three times") << qint64(59600) << 3 << u"00:02:57"_s;
    QTest::newRow("under a second") << qint64(999) << 1 << u"00:00:00"_s;
    QTest::newRow("zero") << qint64(0) << 3 << u"00:00:00"_s;
    QTest::newRow("every field") << qint64((3600 + 2 * 60 + 3) * 1000 + 500) << 1 << u"01:02:03"_s;
    QTest::newRow("last second of an hour") << qint64(3599999) << 1 << u"00:59:59"_s;
    QTest::newRow("a day is not wrapped") << qint64(13 * 3600 * 1000) << 2 << u"26:00:00"_s;
    QTest::newRow("100 hours") << qint64(100) * 3600 * 1000 << 1 << u"100:00:00"_s;
    QTest::newRow("unknown") << qint64(-1) << 2 << QString();
}

void tst_TrackLengths::lengthText()
{
    QFETCH(qint64, milliseconds);
    QFETCH(int, times);
    QFETCH(QString, text);
    QCOMPARE(TrackLengths::lengthText(milliseconds, times), text);
}

void tst_TrackLengths::lengthsInOrder_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<Lengths>("known"); // per path; -1: the probe has no answer
    QTest::addColumn<Lengths>("expected");
    QTest::newRow("three files") << QStringList {u"/m/a.mp3"_s, u"/m/b.wav"_s, u"/m/c.mid"_s}
                                 << Lengths {59600, 1000, 125000} << Lengths {59600, 1000, 125000};
    QTest::newRow("one unknown in the middle")
        << QStringList {u"/m/a.mp3"_s, u"/m/gone.mp3"_s, u"/m/c.mid"_s} << Lengths {3000, -1, 4000}
        << Lengths {3000, -1, 4000};
    QTest::newRow("all unknown") << QStringList {u"/m/x.mp3"_s, u"/m/y.mp3"_s} << Lengths {-1, -1}
                                 << Lengths {-1, -1};
    QTest::newRow("no duration is unknown")
        << QStringList {u"/m/silent.wav"_s} << Lengths {0} << Lengths {-1};
    QTest::newRow("the same file twice") << QStringList {u"/m/a.mp3"_s, u"/m/a.mp3"_s}
                                         << Lengths {2000, 2000} << Lengths {2000, 2000};
    QTest::newRow("one file") << QStringList {u"/m/one.wma"_s} << Lengths {7000} << Lengths {7000};
    QTest::newRow("no files") << QStringList {} << Lengths {} << Lengths {};
}

void tst_TrackLengths::lengthsInOrder()
{
    QFETCH(QStringList, paths);
    QFETCH(Lengths, known);
    QFETCH(Lengths, expected);
    FakeMediaProbe probe;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        if (known.at(i) >= 0)
            probe.durations[paths.at(i)] = known.at(i);
    }
    TrackLengths lengths(probe);
    QSignalSpy found(&lengths, &TrackLengths::lengthFound);
    QSignalSpy progress(&lengths, &TrackLengths::progress);
    QSignalSpy finished(&lengths, &TrackLengths::finished);
    // One file at a time: when a length is told, no later file has been asked.
    QList<qsizetype> askedWhenFound;
    connect(&lengths, &TrackLengths::lengthFound, this,
            [&] { askedWhenFound.append(probe.asked.size()); });

    lengths.start(paths);
    QVERIFY(QTest::qWaitFor([&] { return !finished.isEmpty(); }, 5000));
    QVERIFY(drainQueued(&probe));

    QCOMPARE(found.size(), paths.size());
    for (int i = 0; i < paths.size(); ++i) {
        QCOMPARE(found.at(i).at(0).toInt(), i);
        QCOMPARE(found.at(i).at(1).toString(), paths.at(i));
        QCOMPARE(found.at(i).at(2).toLongLong(), expected.at(i));
        QCOMPARE(askedWhenFound.at(i), qsizetype(i + 1));
        QCOMPARE(progress.at(i + 1), (QVariantList {i + 1, int(paths.size())}));
    }
    QCOMPARE(probe.asked, paths);
    QCOMPARE(progress.size(), paths.size() + 1);
    QCOMPARE(progress.at(0), (QVariantList {0, int(paths.size())}));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), false);
    QVERIFY(!lengths.isRunning());
}

void tst_TrackLengths::cancelStopsAtOnce_data()
{
    // Where the cancel comes from: -1 right after start, before any answer;
    // k >= 0 from the receiver of lengthFound(k) or of progress(k + 1).
    QTest::addColumn<int>("cancelAt");
    QTest::addColumn<bool>("fromProgress");
    QTest::newRow("before any answer") << -1 << false;
    QTest::newRow("on the first length") << 0 << false;
    QTest::newRow("on the second length") << 1 << false;
    QTest::newRow("on the first progress") << 0 << true;
}

void tst_TrackLengths::cancelStopsAtOnce()
{
    QFETCH(int, cancelAt);
    QFETCH(bool, fromProgress);
    const QStringList paths {u"/m/1.mp3"_s, u"/m/2.mp3"_s, u"/m/3.mp3"_s, u"/m/4.mp3"_s};
    FakeMediaProbe probe;
    for (const QString &p : paths)
        probe.durations[p] = 1000;
    TrackLengths lengths(probe);
    QSignalSpy found(&lengths, &TrackLengths::lengthFound);
    QSignalSpy finished(&lengths, &TrackLengths::finished);
    bool runningAfterCancel = true;
    const auto cancelHere = [&](int index) {
        if (index != cancelAt)
            return;
        lengths.cancel();
        runningAfterCancel = lengths.isRunning();
    };
    if (fromProgress)
        connect(&lengths, &TrackLengths::progress, this, [&](int done) { cancelHere(done - 1); });
    else
        connect(&lengths, &TrackLengths::lengthFound, this, [&](int index) { cancelHere(index); });

    lengths.start(paths);
    if (cancelAt < 0)
        cancelHere(-1);
    QVERIFY(QTest::qWaitFor([&] { return !finished.isEmpty(); }, 5000));
    QVERIFY(drainQueued(&probe));

    QVERIFY(!runningAfterCancel);
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QCOMPARE(found.size(), cancelAt + 1);
    // Nothing asked after the cancel: the first file is asked at the start.
    QCOMPARE(probe.asked.size(), qMax(cancelAt + 1, 1));
    QVERIFY(!lengths.isRunning());
}

void tst_TrackLengths::startWhileRunningReplacesTheRun()
{
    FakeMediaProbe probe;
    probe.durations[u"/m/a.mp3"_s] = 1000;
    probe.durations[u"/m/b.mp3"_s] = 2000;
    probe.durations[u"/m/new.mp3"_s] = 3000;
    TrackLengths lengths(probe);
    QSignalSpy found(&lengths, &TrackLengths::lengthFound);
    QSignalSpy finished(&lengths, &TrackLengths::finished);
    connect(&lengths, &TrackLengths::lengthFound, this, [&](int index, const QString &path) {
        if (index == 0 && path == u"/m/a.mp3")
            lengths.start({u"/m/new.mp3"_s});
    });

    lengths.start({u"/m/a.mp3"_s, u"/m/b.mp3"_s});
    QVERIFY(QTest::qWaitFor([&] { return finished.size() == 2; }, 5000));
    QVERIFY(drainQueued(&probe));

    QCOMPARE(finished.size(), 2);
    QCOMPARE(finished.at(0).at(0).toBool(), true); // the old run, cancelled
    QCOMPARE(finished.at(1).at(0).toBool(), false);
    QCOMPARE(found.size(), 2);
    QCOMPARE(found.at(1), (QVariantList {0, u"/m/new.mp3"_s, qint64(3000)}));
    QCOMPARE(probe.asked, (QStringList {u"/m/a.mp3"_s, u"/m/new.mp3"_s}));
}

void tst_TrackLengths::cancelWhenIdleSaysNothing()
{
    FakeMediaProbe probe;
    probe.durations[u"/m/a.mp3"_s] = 1000;
    TrackLengths lengths(probe);
    QSignalSpy finished(&lengths, &TrackLengths::finished);
    lengths.cancel();
    QVERIFY(finished.isEmpty());
    lengths.start({u"/m/a.mp3"_s});
    QVERIFY(finished.wait(5000));
    lengths.cancel(); // after the end
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), false);
}

void tst_TrackLengths::answersForOtherFilesAreIgnored()
{
    // The console's probe is shared: another file's answer is not this run's.
    FakeMediaProbe probe;
    probe.durations[u"/m/a.mp3"_s] = 1000;
    TrackLengths lengths(probe);
    QSignalSpy found(&lengths, &TrackLengths::lengthFound);
    lengths.start({u"/m/a.mp3"_s});
    Q_EMIT probe.durationFound(u"/m/other.mp3"_s, 9000);
    Q_EMIT probe.failed(u"/m/other.mp3"_s, u"no such file"_s);
    QVERIFY(found.isEmpty());
    QVERIFY(found.wait(5000));
    QCOMPARE(found.at(0), (QVariantList {0, u"/m/a.mp3"_s, qint64(1000)}));
}

QTEST_GUILESS_MAIN(tst_TrackLengths)
#include "tst_tracklengths.moc"
