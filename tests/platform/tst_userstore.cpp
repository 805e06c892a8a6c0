// The real per-user store, pointed at a temporary configuration folder.

#include "platform/userstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

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
