#include "console/settingsloader.h"
#include "platform/appfolder.h"
#include "platform/profileini.h"
#include "support/gbkfiles.h"
#include "support/memoryuserstore.h"
#include "web/webpassword.h"

#include <QHash>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace SettingsLoader;

namespace {
// A store in memory that counts the writes of its file as a store on disk
// makes them: one per value, or one per batch that held values back.
class CountingUserStore final : public UserStore
{
public:
    QString value(const QString &section, const QString &key,
                  const QString &defaultValue) const override
    {
        return values.value(section + u'/' + key, defaultValue);
    }
    void setValue(const QString &section, const QString &key, const QString &value) override
    {
        values.insert(section + u'/' + key, value);
        if (m_depth > 0)
            m_held = true;
        else
            ++fileWrites;
    }

    QHash<QString, QString> values;
    int fileWrites = 0;

protected:
    void beginBatch() override { ++m_depth; }
    void endBatch() override
    {
        if (--m_depth == 0 && m_held) {
            m_held = false;
            ++fileWrites;
        }
    }

private:
    int m_depth = 0;
    bool m_held = false;
};
} // namespace

class tst_SettingsLoader : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void firstRunWritesTheStoreAndConfig();
    void secondRunReadsBack();
    void storeIsWrittenOnce_data();
    void storeIsWrittenOnce();
    void storedValues_data();
    void storedValues();
    void unreadableBooleanTakesDefaultAndKeepsStore();
    void booleans_data();
    void booleans();
    void displayOptions_data();
    void displayOptions();
    void noConfigIniGivesDefaults();
    void operationOptions_data();
    void operationOptions();
    void webControlOptions_data();
    void webControlOptions();
    void webPasswordOptions_data();
    void webPasswordOptions();
    void emergencyOptions_data();
    void emergencyOptions();
    void groupNamesAreCut();
    void nodeAddresses_data();
    void nodeAddresses();
    void sourceFrequencies_data();
    void sourceFrequencies();

private:
    QString file(const QString &name) const { return m_dir->filePath(name); }
    ProfileIni ini() const { return ProfileIni(file(QStringLiteral("config.ini"))); }
    AppFolder folder() const { return AppFolder(m_dir->path()); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_SettingsLoader::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_SettingsLoader::firstRunWritesTheStoreAndConfig()
{
    MemoryUserStore store;
    AppSettings s;
    const Outcome outcome = LoadSettings(store, ini(), folder(), s);
    QVERIFY(outcome.firstRun);
    QCOMPARE(store.writes,
             (QStringList {u"backimage"_s, u"userinfor"_s, u"dislaylist"_s, u"weekmode"_s,
                           u"defaultdatefile"_s, u"defaultweekfile"_s, u"shutdown"_s,
                           u"auto_set_open_time"_s, u"com"_s, u"openamptime"_s, u"closeamptime"_s,
                           u"ampnoopen"_s, u"ampopenall"_s, u"ampopenchoice"_s, u"rm_scope"_s,
                           u"setted"_s}));
    const auto stored = [&store](const char *key) {
        return store.values.value(QStringLiteral("setting/") + QString::fromLatin1(key));
    };
    QCOMPARE(stored("setted"), QStringLiteral("yes"));
    QCOMPARE(stored("backimage"), m_dir->path() + QStringLiteral("/backimage/clouds.bmp"));
    QCOMPARE(stored("userinfor"), QStringLiteral("新用户"));
    QCOMPARE(stored("dislaylist"), QStringLiteral("True"));
    QCOMPARE(stored("shutdown"), QStringLiteral("False"));
    QCOMPARE(stored("defaultweekfile"), QString());
    QCOMPARE(stored("openamptime"), QStringLiteral("00:00:05"));
    QCOMPARE(stored("closeamptime"), QStringLiteral("00:01:00"));
    QCOMPARE(stored("ampopenchoice"), QStringLiteral("True"));
    QCOMPARE(GbkFiles::readBytes(file(QStringLiteral("config.ini"))),
             QByteArray("[DisplayMode]\r\nSetVolTime=33:33:33\r\nTermVol=22\r\n"));
    QCOMPARE(s.VolumeAdjustTime, QStringLiteral("33:33:33"));
    QCOMPARE(s.TerminalVolume, QStringLiteral("22"));
}

void tst_SettingsLoader::secondRunReadsBack()
{
    MemoryUserStore store;
    AppSettings first;
    LoadSettings(store, ini(), folder(), first);
    store.writes.clear();
    AppSettings second;
    const Outcome outcome = LoadSettings(store, ini(), folder(), second);
    QVERIFY(!outcome.firstRun);
    QVERIFY(store.writes.isEmpty()); // nothing is written on later runs
    QCOMPARE(second.BackImagePath, m_dir->path() + QStringLiteral("/backimage/clouds.bmp"));
    QCOMPARE(second.UserName, QStringLiteral("新用户"));
    QVERIFY(second.ShowWholeList);
    QVERIFY(second.AmpOpenChoice);
    LoadDisplayOptions(ini(), second);
    QCOMPARE(second.VolumeAdjustTime, QStringLiteral("33:33"));
    QCOMPARE(second.TerminalVolume, QStringLiteral("22"));
}

void tst_SettingsLoader::storeIsWrittenOnce_data()
{
    QTest::addColumn<bool>("firstRun");
    QTest::newRow("first run: sixteen keys") << true;
    QTest::newRow("saved settings: fifteen keys") << false;
}

void tst_SettingsLoader::storeIsWrittenOnce()
{
    QFETCH(bool, firstRun);
    CountingUserStore store;
    AppSettings s;
    if (firstRun) {
        QVERIFY(LoadSettings(store, ini(), folder(), s).firstRun);
        QCOMPARE(store.values.size(), 16);
    } else {
        s.UserName = u"二中"_s;
        SaveSettings(store, s);
        QCOMPARE(store.values.size(), 15);
    }
    QCOMPARE(store.fileWrites, 1);
}

void tst_SettingsLoader::storedValues_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text"); // null: key missing
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");

    QTest::newRow("missing backimage is a bare name") << "backimage" << QString() << "BackImagePath"
                                                      << "clouds.bmp";
    QTest::newRow("user name") << "userinfor"
                               << "第一中学"
                               << "UserName"
                               << "第一中学";
    QTest::newRow("list off in lower case") << "dislaylist"
                                            << "false"
                                            << "ShowWholeList"
                                            << "0";
    QTest::newRow("date mode") << "weekmode"
                               << "False"
                               << "WeekMode"
                               << "0";
    QTest::newRow("shutdown as number") << "shutdown"
                                        << "-1"
                                        << "AutoShutdown"
                                        << "1";
    QTest::newRow("missing shutdown") << "shutdown" << QString() << "AutoShutdown"
                                      << "0";
    QTest::newRow("port") << "com"
                          << "com3"
                          << "ComPort"
                          << "com3";
    QTest::newRow("remote scope") << "rm_scope"
                                  << "TRUE"
                                  << "RemoteScope"
                                  << "1";
    QTest::newRow("missing choice is true") << "ampopenchoice" << QString() << "AmpOpenChoice"
                                            << "1";
    // Every other key's default when it is missing from the store.
    const struct
    {
        const char *key;
        const char *field;
        const char *value;
    } defaults[] = {
        {"userinfor", "UserName", "新用户"},
        {"dislaylist", "ShowWholeList", "1"},
        {"weekmode", "WeekMode", "1"},
        {"defaultdatefile", "DateFilePath", ""},
        {"defaultweekfile", "WeekFilePath", ""},
        {"auto_set_open_time", "AutoSetPowerOnTime", "1"},
        {"com", "ComPort", "com1"},
        {"openamptime", "AmpOpenLead", "00:00:05"},
        {"closeamptime", "AmpCloseDelay", "00:01:00"},
        {"ampnoopen", "AmpNoOpen", "0"},
        {"ampopenall", "AmpOpenAll", "0"},
        {"rm_scope", "RemoteScope", "0"},
    };
    for (const auto &d : defaults)
        QTest::addRow("missing %s", d.key)
            << QString::fromUtf8(d.key) << QString() << QString::fromUtf8(d.field)
            << QString::fromUtf8(d.value);
}

static QString fieldText(const AppSettings &s, const QString &field)
{
    const QHash<QString, QString> texts = {
        {u"BackImagePath"_s, s.BackImagePath},
        {u"UserName"_s, s.UserName},
        {u"ShowWholeList"_s, QString::number(s.ShowWholeList)},
        {u"WeekMode"_s, QString::number(s.WeekMode)},
        {u"AutoShutdown"_s, QString::number(s.AutoShutdown)},
        {u"ComPort"_s, s.ComPort},
        {u"RemoteScope"_s, QString::number(s.RemoteScope)},
        {u"AmpOpenChoice"_s, QString::number(s.AmpOpenChoice)},
        {u"DateFilePath"_s, s.DateFilePath},
        {u"WeekFilePath"_s, s.WeekFilePath},
        {u"AutoSetPowerOnTime"_s, QString::number(s.AutoSetPowerOnTime)},
        {u"AmpOpenLead"_s, s.AmpOpenLead},
        {u"AmpCloseDelay"_s, s.AmpCloseDelay},
        {u"AmpNoOpen"_s, QString::number(s.AmpNoOpen)},
        {u"AmpOpenAll"_s, QString::number(s.AmpOpenAll)},
    };
    return texts.value(field);
}

void tst_SettingsLoader::storedValues()
{
    QFETCH(QString, key);
    QFETCH(QString, text);
    QFETCH(QString, field);
    QFETCH(QString, expected);
    MemoryUserStore store;
    store.values.insert(QStringLiteral("setting/setted"), QStringLiteral("yes"));
    if (!text.isNull())
        store.values.insert(QStringLiteral("setting/") + key, text);
    AppSettings s;
    const Outcome outcome = LoadSettings(store, ini(), folder(), s);
    QVERIFY(!outcome.firstRun);
    QVERIFY(outcome.unreadableKeys.isEmpty());
    QCOMPARE(fieldText(s, field), expected);
}

void tst_SettingsLoader::unreadableBooleanTakesDefaultAndKeepsStore()
{
    MemoryUserStore store;
    store.values.insert(QStringLiteral("setting/setted"), QStringLiteral("yes"));
    store.values.insert(QStringLiteral("setting/dislaylist"), QStringLiteral("perhaps"));
    store.values.insert(QStringLiteral("setting/weekmode"), QStringLiteral("False"));
    store.values.insert(QStringLiteral("setting/userinfor"), QStringLiteral("二中"));
    AppSettings s;
    const Outcome outcome = LoadSettings(store, ini(), folder(), s);
    QCOMPARE(outcome.unreadableKeys, QStringList {QStringLiteral("dislaylist")});
    QVERIFY(s.ShowWholeList); // its read default
    QVERIFY(!s.WeekMode); // the keys after it are still read
    QCOMPARE(s.UserName, QStringLiteral("二中"));
    QVERIFY(store.writes.isEmpty());
    QCOMPARE(store.values.value(QStringLiteral("setting/dislaylist")), QStringLiteral("perhaps"));
}

void tst_SettingsLoader::booleans_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("value");
    QTest::newRow("True") << "True" << true << true;
    QTest::newRow("false any case") << "fAlSe" << true << false;
    QTest::newRow("zero") << "0" << true << false;
    QTest::newRow("minus one") << "-1" << true << true;
    QTest::newRow("fraction") << "0.5" << true << true;
    QTest::newRow("blanks") << " true " << true << true;
    QTest::newRow("yes is not a boolean") << "yes" << false << false;
    QTest::newRow("empty is not a boolean") << "" << false << false;
}

void tst_SettingsLoader::booleans()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(bool, value);
    bool parsed = false;
    QCOMPARE(parseBoolean(text, &parsed), value);
    QCOMPARE(parsed, ok);
}

void tst_SettingsLoader::displayOptions_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("volumeTime");
    QTest::addColumn<QString>("termVol");
    QTest::addColumn<bool>("video");
    QTest::newRow("two-digit hours") << "[DisplayMode]\nSetVolTime=07:30:00\nTermVol=15\nVCD=1\n"
                                     << "07:30"
                                     << "15" << true;
    QTest::newRow("one-digit hour never matches a clock") << "[displaymode]\nsetvoltime=7:30\n"
                                                          << "7:30"
                                                          << "22" << false;
    QTest::newRow("ten-character volume is cut to eight") << "[DisplayMode]\nTermVol=1234567890\n"
                                                          << "33:33"
                                                          << "12345678" << false;
    QTest::newRow("VCD 0") << "[DisplayMode]\nVCD=0\n"
                           << "33:33"
                           << "22" << false;
}

void tst_SettingsLoader::displayOptions()
{
    QFETCH(QString, content);
    QFETCH(QString, volumeTime);
    QFETCH(QString, termVol);
    QFETCH(bool, video);
    GbkFiles::writeText(file(QStringLiteral("config.ini")), content);
    AppSettings s;
    LoadDisplayOptions(ini(), s);
    QCOMPARE(s.VolumeAdjustTime, volumeTime);
    QCOMPARE(s.TerminalVolume, termVol);
    QCOMPARE(s.ShowVideo, video);
}

void tst_SettingsLoader::noConfigIniGivesDefaults()
{
    AppSettings s;
    LoadDisplayOptions(ini(), s);
    LoadDeviceLeadTimes(ini(), s);
    LoadGroupNames(ini(), s);
    QCOMPARE(s.VolumeAdjustTime, QStringLiteral("33:33"));
    QCOMPARE(s.TerminalVolume, QStringLiteral("22"));
    QVERIFY(!s.ShowVideo);
    for (int n = 1; n <= 8; ++n) {
        QCOMPARE(s.DeviceLeadTime[n], QStringLiteral("00:00:00"));
        QCOMPARE(s.GroupNames[n], QStringLiteral("分组%1").arg(n));
    }
    // Lead times are rewritten as hh:mm:ss; a value that is no time means no lead.
    GbkFiles::writeText(file(QStringLiteral("config.ini")),
                        QStringLiteral("[外设提前]\n外设1=0:0:10\n外设2=00:05:00\n外设3=abc\n"));
    LoadDeviceLeadTimes(ini(), s);
    QCOMPARE(s.DeviceLeadTime[1], QStringLiteral("00:00:10"));
    QCOMPARE(s.DeviceLeadTime[2], QStringLiteral("00:05:00"));
    QCOMPARE(s.DeviceLeadTime[3], QStringLiteral("00:00:00"));
}

void tst_SettingsLoader::groupNamesAreCut()
{
    GbkFiles::writeText(file(QStringLiteral("config.ini")),
                        QStringLiteral("[分组名称]\n分组1=") + QString(60, u'a')
                            + QStringLiteral("\n分组3=教学楼\n"));
    AppSettings s;
    LoadGroupNames(ini(), s);
    QCOMPARE(s.GroupNames[1], QString(49, u'a'));
    QCOMPARE(s.GroupNames[2], QStringLiteral("分组2"));
    QCOMPARE(s.GroupNames[3], QStringLiteral("教学楼"));
}

void tst_SettingsLoader::nodeAddresses_data()
{
    QTest::addColumn<QString>("content"); // null: no node.txt
    QTest::addColumn<QString>("list");
    QTest::newRow("addresses in file order")
        << "\"a\",\"1\",\"1\"\n\"b\",\"2\",\"1\"\n\"c\",\"17\",\"2\"\n"
        << "1.2.17.";
    QTest::newRow("missing file") << QString() << "";
    QTest::newRow("empty file") << ""
                                << "";
    QTest::newRow("placeholder and bad address are left out")
        << "\"a\",\"3\",\"1\"\n\"新节点\",\"\",\"\"\n\"x\",\"300\",\"1\"\n\"b\",\"05\",\"2\"\n"
        << "3.5.";
    QTest::newRow("addresses 0 and 255 are terminals too")
        << "\"a\",\"0\",\"1\"\n\"b\",\"255\",\"1\"\n\"c\",\"256\",\"1\"\n"
        << "0.255.";
    QTest::newRow("short last record") << "\"a\",\"4\",\"1\"\n\"b\",\"9\"\n"
                                       << "4.";
}

void tst_SettingsLoader::nodeAddresses()
{
    QFETCH(QString, content);
    QFETCH(QString, list);
    if (!content.isNull())
        GbkFiles::writeText(file(QStringLiteral("node.txt")), content);
    AppSettings s;
    LoadNodeAddresses(folder(), s);
    QCOMPARE(s.AllNodeList, list);
}

void tst_SettingsLoader::sourceFrequencies_data()
{
    QTest::addColumn<QString>("content"); // null: no amp_name.dat
    QTest::addColumn<QList<int>>("tenths");
    QString block;
    const QStringList freqs
        = {u"75"_s, u"103.5"_s, u"87.55"_s, u""_s, u"FM"_s, u"110"_s, u"70.05"_s, u"99.9"_s};
    for (int i = 0; i < 8; ++i)
        block += QStringLiteral("\"amp%1\"\n").arg(i);
    for (const QString &f : freqs)
        block += u'"' + f + QStringLiteral("\"\n");
    for (int i = 0; i < 8; ++i)
        block += QStringLiteral("\"dev%1\"\n").arg(i);
    QTest::newRow("well-formed") << block << QList<int> {750, 1035, 876, 0, 0, 1100, 700, 999};
    QTest::newRow("missing file") << QString() << QList<int>(8, 0);
    QTest::newRow("short file keeps what was read")
        << block.section(u'\n', 0, 9) + u'\n' << QList<int> {750, 1035, 0, 0, 0, 0, 0, 0};
}

void tst_SettingsLoader::sourceFrequencies()
{
    QFETCH(QString, content);
    QFETCH(QList<int>, tenths);
    if (!content.isNull())
        GbkFiles::writeText(file(QStringLiteral("amp_name.dat")), content);
    AppSettings s;
    LoadSourceFrequencies(folder(), s);
    for (int n = 1; n <= 8; ++n)
        QCOMPARE(int(s.SourceFrequency[n]), tenths.at(n - 1));
}

void tst_SettingsLoader::operationOptions_data()
{
    QTest::addColumn<QString>("days");
    QTest::addColumn<QString>("supervise");
    QTest::addColumn<QString>("login");
    QTest::addColumn<int>("wantDays");
    QTest::addColumn<bool>("wantSupervise");
    QTest::addColumn<bool>("wantLogin");
    // An empty text is a key never written.
    QTest::newRow("none written") << u""_s << u""_s << u""_s << 90 << false << false;
    QTest::newRow("as written") << u"30"_s << u"True"_s << u"1"_s << 30 << true << true;
    QTest::newRow("one day") << u" 1 "_s << u"False"_s << u"0"_s << 1 << false << false;
    QTest::newRow("ten years") << u"3650"_s << u"true"_s << u"False"_s << 3650 << true << false;
    QTest::newRow("too many") << u"3651"_s << u"x"_s << u""_s << 90 << false << false;
    QTest::newRow("none kept") << u"0"_s << u"yes"_s << u"no"_s << 90 << false << false;
    QTest::newRow("not a number") << u"九十"_s << u""_s << u"True"_s << 90 << false << true;
}

void tst_SettingsLoader::operationOptions()
{
    QFETCH(QString, days);
    QFETCH(QString, supervise);
    QFETCH(QString, login);
    CountingUserStore store;
    const auto put = [&](const QString &key, const QString &text) {
        if (!text.isEmpty())
            store.values.insert(u"operation/"_s + key, text);
    };
    put(u"asrun_keep_days"_s, days);
    put(u"supervise_terminals"_s, supervise);
    put(u"start_at_login"_s, login);
    AppSettings s;
    LoadOperationOptions(store, s);
    QTEST(s.AsRunKeepDays, "wantDays");
    QTEST(s.SuperviseTerminals, "wantSupervise");
    QTEST(s.StartAtLogin, "wantLogin");

    // What is saved reads back the same, in one write of the store's file.
    CountingUserStore saved;
    SaveOperationOptions(saved, s);
    QCOMPARE(saved.fileWrites, 1);
    AppSettings back;
    back.AsRunKeepDays = 7;
    back.SuperviseTerminals = !s.SuperviseTerminals;
    back.StartAtLogin = !s.StartAtLogin;
    LoadOperationOptions(saved, back);
    QCOMPARE(back.AsRunKeepDays, s.AsRunKeepDays);
    QCOMPARE(back.SuperviseTerminals, s.SuperviseTerminals);
    QCOMPARE(back.StartAtLogin, s.StartAtLogin);
}

void tst_SettingsLoader::webControlOptions_data()
{
    QTest::addColumn<QString>("enabled");
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("wantEnabled");
    QTest::addColumn<int>("wantPort");
    // An empty text is a key never written: off, on the usual port.
    QTest::newRow("none written") << u""_s << u""_s << false << 8530;
    QTest::newRow("as written") << u"True"_s << u"9000"_s << true << 9000;
    QTest::newRow("off") << u"False"_s << u" 8080 "_s << false << 8080;
    QTest::newRow("highest port") << u"1"_s << u"65535"_s << true << 65535;
    QTest::newRow("beyond the ports") << u"1"_s << u"65536"_s << true << 8530;
    QTest::newRow("privileged port") << u"1"_s << u"80"_s << true << 8530;
    QTest::newRow("lowest unprivileged") << u"1"_s << u"1024"_s << true << 1024;
    QTest::newRow("not a flag, not a number") << u"yes"_s << u"八五三零"_s << false << 8530;
}

void tst_SettingsLoader::webControlOptions()
{
    QFETCH(QString, enabled);
    QFETCH(QString, port);
    CountingUserStore store;
    if (!enabled.isEmpty())
        store.values.insert(u"operation/web_control"_s, enabled);
    if (!port.isEmpty())
        store.values.insert(u"operation/web_port"_s, port);
    AppSettings s;
    LoadOperationOptions(store, s);
    QTEST(s.WebControlEnabled, "wantEnabled");
    QTEST(int(s.WebControlPort), "wantPort");

    CountingUserStore saved;
    SaveOperationOptions(saved, s);
    AppSettings back;
    back.WebControlEnabled = !s.WebControlEnabled;
    back.WebControlPort = 1234;
    LoadOperationOptions(saved, back);
    QCOMPARE(back.WebControlEnabled, s.WebControlEnabled);
    QCOMPARE(back.WebControlPort, s.WebControlPort);
}

void tst_SettingsLoader::webPasswordOptions_data()
{
    // As stored; "%HASH%" a hash of "office", "%SHORT%" the same cut short.
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("network");
    QTest::addColumn<bool>("wantSet");
    QTest::addColumn<bool>("wantNetwork");
    QTest::newRow("none written") << QString() << QString() << false << false;
    QTest::newRow("a hash, the network allowed") << u"%HASH%"_s << u"True"_s << true << true;
    QTest::newRow("a hash only") << u"%HASH%"_s << u"False"_s << true << false;
    // A password written into the store by hand is no hash: none is set.
    QTest::newRow("plain text") << u"office"_s << u"True"_s << false << true;
    QTest::newRow("a hash cut short") << u"%SHORT%"_s << QString() << false << false;
}

void tst_SettingsLoader::webPasswordOptions()
{
    QFETCH(QString, password);
    QFETCH(QString, network);
    QFETCH(bool, wantSet);
    QFETCH(bool, wantNetwork);
    const QString hash = WebPassword::hash(u"office"_s, WebPassword::MinIterations);
    if (password == u"%HASH%")
        password = hash;
    else if (password == u"%SHORT%")
        password = hash.left(hash.size() - 3);
    CountingUserStore store;
    if (!password.isEmpty())
        store.values.insert(u"operation/web_password"_s, password);
    if (!network.isEmpty())
        store.values.insert(u"operation/web_network"_s, network);
    AppSettings s;
    LoadOperationOptions(store, s);
    QCOMPARE(!s.WebPasswordHash.isEmpty(), wantSet);
    if (wantSet) {
        QCOMPARE(s.WebPasswordHash, hash);
        QVERIFY(WebPassword::verify(u"office"_s, s.WebPasswordHash));
    }
    QCOMPARE(s.WebNetworkAllowed, wantNetwork);

    CountingUserStore saved;
    SaveOperationOptions(saved, s);
    QCOMPARE(saved.values.value(u"operation/web_password"_s), s.WebPasswordHash);
    AppSettings back;
    back.WebNetworkAllowed = !s.WebNetworkAllowed;
    LoadOperationOptions(saved, back);
    QCOMPARE(back.WebPasswordHash, s.WebPasswordHash);
    QCOMPARE(back.WebNetworkAllowed, s.WebNetworkAllowed);
}

void tst_SettingsLoader::emergencyOptions_data()
{
    QTest::addColumn<QString>("channel"); // as stored; empty: none written
    QTest::addColumn<QString>("lineIn");
    QTest::addColumn<int>("wantChannel");
    QTest::addColumn<bool>("wantLineIn");
    QTest::newRow("none written") << QString() << QString() << 1 << false;
    QTest::newRow("channel 8, the line input") << u"8"_s << u"True"_s << 8 << true;
    QTest::newRow("blanks around it") << u" 3 "_s << u"False"_s << 3 << false;
    QTest::newRow("no channel 0") << u"0"_s << QString() << 1 << false;
    QTest::newRow("no channel 9") << u"9"_s << QString() << 1 << false;
    QTest::newRow("no number") << u"三"_s << u"maybe"_s << 1 << false;
}

void tst_SettingsLoader::emergencyOptions()
{
    QFETCH(QString, channel);
    QFETCH(QString, lineIn);
    CountingUserStore store;
    if (!channel.isEmpty())
        store.values.insert(u"operation/emergency_channel"_s, channel);
    if (!lineIn.isEmpty())
        store.values.insert(u"operation/emergency_line_in"_s, lineIn);
    store.values.insert(u"operation/emergency_file"_s, u"/srv/警报.mp3"_s);
    AppSettings s;
    LoadOperationOptions(store, s);
    QTEST(s.EmergencyChannel, "wantChannel");
    QTEST(s.EmergencyLineIn, "wantLineIn");
    QCOMPARE(s.EmergencyFile, u"/srv/警报.mp3"_s);

    CountingUserStore saved;
    SaveOperationOptions(saved, s);
    AppSettings back;
    back.EmergencyChannel = s.EmergencyChannel % 8 + 1;
    back.EmergencyLineIn = !s.EmergencyLineIn;
    LoadOperationOptions(saved, back);
    QCOMPARE(back.EmergencyChannel, s.EmergencyChannel);
    QCOMPARE(back.EmergencyLineIn, s.EmergencyLineIn);
    QCOMPARE(back.EmergencyFile, s.EmergencyFile);
}

QTEST_GUILESS_MAIN(tst_SettingsLoader)
#include "tst_settingsloader.moc"
