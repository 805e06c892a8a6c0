// The logic of the sources window: loading amp_name.dat and the lead times,
// the modified flag, the frequency rules and saving both files.

#include "directory/sourcenames.h"
#include "platform/savedfiles.h"
#include "support/gbkfiles.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
using Field = SourceNames::Field;
using Part = SourceNames::Part;
using Outcome = SourceNames::SaveResult::Outcome;

// 24 quoted lines: names with commas, Chinese, an empty frequency.
QString ampFile()
{
    QString text;
    for (int n = 1; n <= 8; ++n)
        text += u"\"%1号功放,东楼\"\n"_s.arg(n);
    for (int n = 1; n <= 8; ++n)
        text += n == 4 ? u"\"\"\n"_s : u"\"%1\"\n"_s.arg(80 + n * 2.5);
    for (int n = 1; n <= 8; ++n)
        text += u"\"外设 %1, 录音机\"\n"_s.arg(n);
    return text;
}
} // namespace

class tst_SourceNames : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void loadsBothFiles();
    void shortFile();
    void changesSetTheFlag_data();
    void changesSetTheFlag();
    void unstorableFieldsAreRefused_data();
    void unstorableFieldsAreRefused();
    void readOnlyConfigKeepsTheFlag();
    void frequencyRange_data();
    void frequencyRange();
    void valuesForMemory();

private:
    QString amp() const { return m_dir->filePath(u"amp_name.dat"_s); }
    QString ini() const { return m_dir->filePath(u"config.ini"_s); }
    SourceNames loaded()
    {
        SourceNames names(amp(), ini());
        names.load();
        return names;
    }

    static void set(SourceNames &names, Part part, int n, const QString &text)
    {
        if (part == Part::Amp)
            names.setAmpName(n, text);
        else if (part == Part::Device)
            names.setDeviceName(n, text);
        else
            names.setFrequency(n, text);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_SourceNames::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    GbkFiles::writeText(amp(), ampFile());
    GbkFiles::writeText(ini(),
                        u"[DisplayMode]\nTermVol=22\n[外设提前]\n外设1=00:00:30\n外设2=7:5:3\n"
                        "外设3=半小时\n外设5=01:00:00\n"_s);
}

void tst_SourceNames::loadsBothFiles()
{
    const SourceNames names = loaded();
    QCOMPARE(names.ampName(3), u"3号功放,东楼"_s);
    QCOMPARE(names.frequency(1), u"82.5"_s);
    QCOMPARE(names.frequency(4), QString());
    QCOMPARE(names.deviceName(8), u"外设 8, 录音机"_s);
    QCOMPARE(names.leadTime(1), QTime(0, 0, 30));
    QCOMPARE(names.leadTime(2), QTime(7, 5, 3));
    QCOMPARE(names.leadTime(3), QTime(0, 0)); // no time of day: no lead
    QCOMPARE(names.leadTime(4), QTime(0, 0)); // missing key
    QCOMPARE(names.leadTime(5), QTime(1, 0));
    QVERIFY(!names.isModified());
    QCOMPARE(names.loadProblem(), QString());
}

void tst_SourceNames::shortFile()
{
    SourceNames names(amp(), ini());
    GbkFiles::writeText(
        amp(), u"\"甲\"\n\"乙\"\n\"丙\"\n\"丁\"\n\"戊\"\n\"己\"\n\"庚\"\n\"辛\"\n\"90\"\n"_s);
    names.load();
    QCOMPARE(names.ampName(8), u"辛"_s);
    QCOMPARE(names.frequency(1), u"90"_s);
    QCOMPARE(names.frequency(2), QString());
    QCOMPARE(names.deviceName(1), QString());
    QVERIFY(!names.loadProblem().isEmpty());
    QVERIFY(!names.isModified());
}

void tst_SourceNames::changesSetTheFlag_data()
{
    QTest::addColumn<int>("part");
    QTest::addColumn<bool>("same"); // the value it already holds
    for (bool same : {false, true}) {
        const char *suffix = same ? " (same value)" : "";
        QTest::addRow("amp%s", suffix) << int(Part::Amp) << same;
        QTest::addRow("device%s", suffix) << int(Part::Device) << same;
        QTest::addRow("frequency%s", suffix) << int(Part::Frequency) << same;
        QTest::addRow("lead time%s", suffix) << -1 << same;
    }
}

void tst_SourceNames::changesSetTheFlag()
{
    QFETCH(int, part);
    QFETCH(bool, same);
    SourceNames names = loaded();
    if (part < 0)
        names.setLeadTime(2, same ? names.leadTime(2) : QTime(0, 1));
    else
        set(names, Part(part), 2, same ? names.text({Part(part), 2}) : u"99"_s);
    QCOMPARE(names.isModified(), !same);
    names.discardChanges();
    QVERIFY(!names.isModified());
}

void tst_SourceNames::unstorableFieldsAreRefused_data()
{
    QTest::addColumn<int>("part");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("start"); // of the message
    QTest::newRow("quote in an amplifier")
        << int(Part::Amp) << u"大\"厅"_s << u"功放6的名称含有双引号"_s;
    QTest::newRow("quote in a device")
        << int(Part::Device) << u"\""_s << u"外设6的名称含有双引号"_s;
    QTest::newRow("quote in a frequency")
        << int(Part::Frequency) << u"9\""_s << u"节目源6的频率含有双引号"_s;
    QTest::newRow("not in GBK") << int(Part::Amp) << u"音乐🎵"_s
                                << u"功放6的名称含有系统编码不能保存的字符"_s;
    // amp_name.dat would refuse it too, without naming the box.
    QTest::newRow("line break in a device")
        << int(Part::Device) << u"东\n楼"_s << u"外设6的名称含有系统编码不能保存的字符"_s;
}

void tst_SourceNames::unstorableFieldsAreRefused()
{
    QFETCH(int, part);
    QFETCH(QString, text);
    QFETCH(QString, start);
    const QByteArray ampBefore = GbkFiles::readBytes(amp());
    const QByteArray iniBefore = GbkFiles::readBytes(ini());
    SourceNames names = loaded();
    names.setLeadTime(1, QTime(0, 2));
    set(names, Part(part), 6, text);
    SavedFiles saved;
    QSignalSpy announced(&saved, &SavedFiles::saved);
    const SourceNames::SaveResult r = names.save(saved);
    QCOMPARE(r.outcome, Outcome::Refused);
    QCOMPARE(announced.size(), 0); // nothing written, nothing to read again
    QVERIFY2(r.message.startsWith(start), qPrintable(r.message));
    QCOMPARE(int(r.field.part), part);
    QCOMPARE(r.field.number, 6);
    QVERIFY(!r.namesWritten);
    QCOMPARE(r.leadTimesWritten, 0);
    QVERIFY(names.isModified());
    QCOMPARE(GbkFiles::readBytes(amp()), ampBefore);
    QCOMPARE(GbkFiles::readBytes(ini()), iniBefore);
}

void tst_SourceNames::readOnlyConfigKeepsTheFlag()
{
    SourceNames names = loaded();
    names.setFrequency(1, u"101"_s);
    QFile::setPermissions(ini(), QFile::ReadOwner);
    SavedFiles saved;
    QSignalSpy announced(&saved, &SavedFiles::saved);
    const SourceNames::SaveResult r = names.save(saved);
    QFile::setPermissions(ini(), QFile::ReadOwner | QFile::WriteOwner);
    // amp_name.dat changed, so the console reads the frequencies again.
    QCOMPARE(announced.size(), 1);
    QCOMPARE(announced.at(0).at(0).value<SavedFiles::Kind>(), SavedFiles::Kind::SourceNames);
    QCOMPARE(announced.at(0).at(1).toString(), amp());
    QCOMPARE(r.outcome, Outcome::Failed);
    QVERIFY(r.message.startsWith(u"无法保存外设提前打开时间"_s));
    QVERIFY(r.namesWritten); // amp_name.dat holds the new frequency
    QCOMPARE(r.leadTimesWritten, 0);
    QVERIFY(names.isModified());
}

void tst_SourceNames::frequencyRange_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("inRange");
    const std::pair<const char16_t *, bool> rows[] = {
        {u"70", true},      {u"110", true},     {u"87.5", true},
        {u"110.000", true}, {u"070", true},     {u"70.", true},
        {u"100.5.5", true}, {u"69.9", false},   {u"110.1", false},
        {u"", false},       {u"69.999", false}, {u"110.001", false},
        {u"7", false},      {u"1100", false},   {u".", false},
        {u"-80", false},    {u"abc", false},    {u"99999999999999999999", false},
    };
    for (const auto &[text, in] : rows)
        QTest::addRow("\"%s\"", qPrintable(QString::fromUtf16(text)))
            << QString::fromUtf16(text) << in;
}

void tst_SourceNames::frequencyRange()
{
    QFETCH(QString, text);
    QFETCH(bool, inRange);
    QCOMPARE(SourceNames::frequencyInRange(text), inRange);
}

void tst_SourceNames::valuesForMemory()
{
    SourceNames names = loaded();
    names.setFrequency(1, u"87.5"_s);
    names.setFrequency(2, u"87.55"_s);
    names.setLeadTime(3, QTime(0, 10, 30));
    QCOMPARE(names.frequencyTenthsOf(1), qint16(875));
    QCOMPARE(names.frequencyTenthsOf(2), qint16(876));
    QCOMPARE(names.frequencyTenthsOf(4), qint16(0)); // empty: unset
    QCOMPARE(names.leadTimeText(3), u"00:10:30"_s);
    QCOMPARE(names.leadTimeText(4), u"00:00:00"_s);
    SavedFiles saved;
    QSignalSpy announced(&saved, &SavedFiles::saved);
    QCOMPARE(names.save(saved).outcome, Outcome::Saved);
    QCOMPARE(announced.size(), 1);
    QCOMPARE(announced.at(0).at(0).value<SavedFiles::Kind>(), SavedFiles::Kind::SourceNames);
    QCOMPARE(announced.at(0).at(1).toString(), amp());
    QVERIFY(!names.isModified());
    QVERIFY(GbkFiles::readBytes(amp()).contains("\r\n\"87.5\"\r\n\"87.55\"\r\n"));
    QVERIFY(GbkFiles::readBytes(ini()).contains(QByteArray("\xcd\xe2\xc9\xe8"
                                                           "3=00:10:30\r\n")));
}

QTEST_GUILESS_MAIN(tst_SourceNames)
#include "tst_sourcenames.moc"
