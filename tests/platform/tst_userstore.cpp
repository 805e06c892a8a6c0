// The real per-user store, pointed at a temporary configuration folder.

#include "platform/userstore.h"
#include "support/filewrites.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

class tst_UserStore : public QObject
{
    Q_OBJECT
public:
    explicit tst_UserStore(QString configHome)
        : m_configHome(std::move(configHome))
    {
    }

private Q_SLOTS:
    void livesInXdgConfigHome();
    void valuesRoundTripAndReachTheDisk();
    void missingKeyGivesDefault();
    void eachValueIsWrittenAtOnce();
    void batchWritesOnceAtItsEnd_data();
    void batchWritesOnceAtItsEnd();
    void batchWithoutValuesWritesNothing();

private:
    QString m_configHome;
};

void tst_UserStore::livesInXdgConfigHome()
{
    SettingsUserStore store;
    QCOMPARE(store.fileName(), m_configHome + QStringLiteral("/broadcast/broadcast.conf"));
}

void tst_UserStore::valuesRoundTripAndReachTheDisk()
{
    {
        SettingsUserStore store;
        store.setSetting(QStringLiteral("userinfor"), QStringLiteral("第一中学"));
        store.setSetting(QStringLiteral("defaultweekfile"),
                         QStringLiteral("D:\\table\\week\\a,b.txt"));
        store.setValue(QStringLiteral("ports"), QStringLiteral("com1"),
                       QStringLiteral("/dev/pts/3"));
        // Another reader sees the values at once, without waiting for the store to close.
        QSettings other(QStringLiteral("broadcast"), QStringLiteral("broadcast"));
        QCOMPARE(other.value(QStringLiteral("setting/userinfor")).toString(),
                 QStringLiteral("第一中学"));
    }
    SettingsUserStore again;
    QCOMPARE(again.setting(QStringLiteral("userinfor"), QString()), QStringLiteral("第一中学"));
    QCOMPARE(again.setting(QStringLiteral("defaultweekfile"), QString()),
             QStringLiteral("D:\\table\\week\\a,b.txt"));
    QCOMPARE(again.value(QStringLiteral("ports"), QStringLiteral("com1"), QString()),
             QStringLiteral("/dev/pts/3"));
}

void tst_UserStore::missingKeyGivesDefault()
{
    SettingsUserStore store;
    QCOMPARE(store.setting(QStringLiteral("nosuchkey"), QStringLiteral("no")),
             QStringLiteral("no"));
}

void tst_UserStore::eachValueIsWrittenAtOnce()
{
    SettingsUserStore store;
    FileWrites writes(store.fileName());
    for (int i = 0; i < 3; ++i) {
        store.setSetting(QStringLiteral("n"), QString::number(i));
        QCOMPARE(writes.take(), 1);
    }
    QVERIFY(store.writeError().isEmpty());
}

void tst_UserStore::batchWritesOnceAtItsEnd_data()
{
    QTest::addColumn<int>("values");
    QTest::addColumn<bool>("nested");
    QTest::newRow("one value") << 1 << false;
    QTest::newRow("the settings dialog's fifteen") << 15 << false;
    QTest::newRow("a hundred") << 100 << false;
    QTest::newRow("a batch inside a batch") << 15 << true;
}

void tst_UserStore::batchWritesOnceAtItsEnd()
{
    QFETCH(int, values);
    QFETCH(bool, nested);
    const QString tag = QStringLiteral("batch%1").arg(values);
    SettingsUserStore store;
    FileWrites writes(store.fileName());
    // The file's own lines: another QSettings in this process would share
    // the values not yet written.
    const auto onDisk = [&store](const QString &key) {
        QFile file(store.fileName());
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        const QByteArray start = key.toLatin1() + '=';
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (line.startsWith(start))
                return QString::fromUtf8(line.mid(start.size()));
        }
        return QString();
    };
    {
        const UserStore::Batch outer(store);
        {
            std::optional<UserStore::Batch> inner;
            if (nested)
                inner.emplace(store);
            for (int i = 0; i < values; ++i)
                store.setSetting(QStringLiteral("k%1").arg(i), tag);
        }
        // Nothing is written before the outermost batch ends.
        QCOMPARE(writes.take(), 0);
        QVERIFY(onDisk(QStringLiteral("k0")) != tag);
        QCOMPARE(store.setting(QStringLiteral("k0"), QString()), tag); // read back at once
    }
    QCOMPARE(writes.take(), 1);
    QVERIFY(store.writeError().isEmpty());
    QCOMPARE(onDisk(QStringLiteral("k0")), tag);
    QCOMPARE(onDisk(QStringLiteral("k%1").arg(values - 1)), tag);
    // After the batch, a value is written at once again.
    store.setSetting(QStringLiteral("after"), tag);
    QCOMPARE(writes.take(), 1);
}

void tst_UserStore::batchWithoutValuesWritesNothing()
{
    SettingsUserStore store;
    FileWrites writes(store.fileName());
    {
        const UserStore::Batch batch(store);
        QCOMPARE(store.setting(QStringLiteral("nosuchkey"), QStringLiteral("no")),
                 QStringLiteral("no"));
    }
    QCOMPARE(writes.take(), 0);
}

int main(int argc, char *argv[])
{
    // The store's place is fixed when it is first used, so point it before
    // anything else runs.
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
    QCoreApplication app(argc, argv);
    tst_UserStore test(QDir(configHome.path()).canonicalPath());
    return QTest::qExec(&test, argc, argv);
}

#include "tst_userstore.moc"
