// Replays every kept fuzz input through its target: the seeds of realistic
// files and every input that ever found a fault stay under corpus/, so a
// fault once fixed cannot come back unseen.
#include "fuzztargets.h"

#include <QDir>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_FuzzCorpus : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void replay_data();
    void replay();
};

void tst_FuzzCorpus::replay_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("path");
    const QDir corpus(QStringLiteral(FUZZ_CORPUS_DIR));
    for (std::size_t t = 0; t < Fuzz::kTargets.size(); ++t) {
        const QString name = QString::fromLatin1(Fuzz::kTargets.at(t).name);
        const QDir folder(corpus.filePath(name));
        const QStringList files = folder.entryList(QDir::Files, QDir::Name);
        // Every target has seeds; a missing folder would replay nothing.
        QVERIFY2(!files.isEmpty(), qPrintable(u"no seeds for "_s + name));
        for (const QString &file : files)
            QTest::addRow("%s/%s", qPrintable(name), qPrintable(file))
                << int(t) << folder.filePath(file);
    }
}

void tst_FuzzCorpus::replay()
{
    QFETCH(int, target);
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    // A broken rule aborts the test run with its name on stderr.
    QCOMPARE(Fuzz::kTargets.at(std::size_t(target))
                 .run(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                      std::size_t(bytes.size())),
             0);
}

QTEST_GUILESS_MAIN(tst_FuzzCorpus)
#include "tst_fuzzcorpus.moc"
