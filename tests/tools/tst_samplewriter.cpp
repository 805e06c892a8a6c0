// The sample installation read back through the console's own readers: every
// file must make sense to the console and agree with the others.

#include "samplewriter.h"

#include "directory/ampnamefile.h"
#include "directory/nodefile.h"
#include "directory/remotelistfile.h"
#include "platform/profileini.h"
#include "schedule/schedulefile.h"
#include "support/gbkfiles.h"

#include <QDir>
#include <QDirIterator>
#include <QGuiApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTime>
#include <QtEndian>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QDate sampleDay(2026, 3, 4); // a Wednesday
const QString peripheralOnly = u"外设控制"_s;

QList<int> dotListValues(const QString &text, bool *ok)
{
    QList<int> values;
    *ok = text.isEmpty() || text.endsWith(u'.');
    const QStringList pieces = text.split(u'.', Qt::SkipEmptyParts);
    for (const QString &p : pieces) {
        bool isNumber = false;
        values.append(p.toInt(&isNumber));
        *ok = *ok && isNumber;
    }
    return values;
}

bool ascendingWithin(const QList<int> &values, int low, int high)
{
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (values.at(i) < low || values.at(i) > high
            || (i > 0 && values.at(i) <= values.at(i - 1)))
            return false;
    }
    return true;
}

// What is wrong with the terminals, amplifiers, devices and file of an
// item in an installation with these terminals; empty when nothing is.
QString targetsProblem(const ScheduleEntry &e, const QList<NodeRecord> &nodes)
{
    bool zonesOk = false, ampsOk = false, devicesOk = false;
    const QList<int> zones = dotListValues(e.zone, &zonesOk);
    const QList<int> amps = dotListValues(e.amp, &ampsOk);
    const QList<int> devices = dotListValues(e.device, &devicesOk);
    if (!zonesOk || zones.isEmpty())
        return u"no terminals: "_s + e.zone;
    if (!ampsOk || !ascendingWithin(amps, 1, 8))
        return u"amplifiers "_s + e.amp;
    if (!devicesOk || !ascendingWithin(devices, 1, 8))
        return u"devices "_s + e.device;
    // Every terminal exists, and its group's amplifier is switched on with it.
    for (int z : zones) {
        const auto node = std::find_if(nodes.cbegin(), nodes.cend(), [z](const NodeRecord &n) {
            return n.address == QString::number(z);
        });
        if (node == nodes.cend())
            return u"no terminal %1"_s.arg(z);
        if (!amps.contains(node->group.toInt()))
            return u"terminal %1 without the amplifier of its group"_s.arg(z);
    }
    if (e.filename == peripheralOnly)
        return devices.isEmpty() ? u"a device item without a device"_s : QString();
    return QFileInfo(e.filename).isFile() ? QString() : u"no file "_s + e.filename;
}

QMap<QString, QByteArray> filesUnder(const QString &folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(path, GbkFiles::readBytes(path));
    }
    return files;
}

} // namespace

class tst_SampleWriter : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void terminalsOfASchool();
    void groupNames();
    void sourcesAndDevices();
    void displayMode();
    void tablesAgreeWithTheInstallation_data();
    void tablesAgreeWithTheInstallation();
    void weekOfASchool();
    void dateFilesForComingSchoolDays();
    void remoteListPlaysSampleSongs();
    void songsArePcmWav();
    void operatorStoreLeadsToTheSample();
    void secondWriteChangesNothing();
    void operatorFilesAreKept();
    void itemsSoon_data();
    void itemsSoon();
    void itemsSoonReplaceTheEarlierOnes();
    void noItemsSoonBeforeMidnight();
    void itemsSoonReachTheOperatorsTerminals();

private:
    QString demo(const QString &name = QString()) const
    {
        return m_dir.filePath(u"demo"_s) + (name.isEmpty() ? QString() : u'/' + name);
    }
    QString week() const { return demo(SampleWriter::weekFileName()); }
    QStringList dateFiles() const
    {
        return QDir(demo(u"table/date"_s)).entryList({u"*.txt"_s}, QDir::Files, QDir::Name);
    }
    // A fresh sample of its own, for the tests that change it.
    QString freshSample()
    {
        const QString folder = m_dir.filePath(u"fresh%1"_s.arg(++m_fresh));
        SampleWriter writer(folder);
        const QStringList problems = writer.write(sampleDay);
        if (!problems.isEmpty())
            qWarning() << problems;
        return problems.isEmpty() ? folder : QString();
    }

    QTemporaryDir m_dir;
    QList<NodeRecord> m_nodes;
    int m_fresh = 0;
};

void tst_SampleWriter::initTestCase()
{
    QVERIFY(m_dir.isValid());
    SampleWriter writer(demo());
    QCOMPARE(writer.write(sampleDay), QStringList());
    const NodeFileRead nodes = readNodeFile(demo(u"node.txt"_s));
    QVERIFY(nodes.ok);
    m_nodes = nodes.records;
}

void tst_SampleWriter::terminalsOfASchool()
{
    QVERIFY2(m_nodes.size() >= 30 && m_nodes.size() <= 40,
             qPrintable(QString::number(m_nodes.size())));
    QSet<int> addresses;
    QMap<int, int> perGroup;
    for (const NodeRecord &n : m_nodes) {
        const int address = nodeAddressValue(n.address);
        QVERIFY2(address >= 1 && address <= 255, qPrintable(n.address));
        QVERIFY2(!addresses.contains(address), qPrintable(n.address));
        addresses.insert(address);
        // The names are the school's rooms, not numbered placeholders.
        QVERIFY(!n.name.isEmpty());
        QVERIFY2(n.name.front().unicode() >= 0x4e00, qPrintable(n.name));
        ++perGroup[n.group.toInt()];
    }
    QCOMPARE(perGroup.keys(), QList<int>({1, 2, 3, 4, 5, 6, 7, 8}));
    for (auto it = perGroup.cbegin(); it != perGroup.cend(); ++it)
        QVERIFY2(it.value() >= 2, qPrintable(QString::number(it.key())));
}

void tst_SampleWriter::groupNames()
{
    const ProfileIni ini(demo(u"config.ini"_s));
    QSet<QString> names;
    for (int n = 1; n <= 8; ++n) {
        const QString key = u"分组%1"_s.arg(n);
        const QString name = ini.getString(u"分组名称"_s, key, key, 50);
        QVERIFY2(name != key && !name.isEmpty(), qPrintable(key));
        names.insert(name);
    }
    QCOMPARE(names.size(), 8);
}

void tst_SampleWriter::sourcesAndDevices()
{
    const AmpNamesRead read = readAmpNameFile(demo(u"amp_name.dat"_s));
    QVERIFY(read.ok);
    for (int i = 0; i < 8; ++i) {
        QVERIFY(!read.names.amps.at(i).isEmpty());
        QVERIFY(!read.names.devices.at(i).isEmpty());
        const qint16 tenths = frequencyTenths(read.names.frequencies.at(i));
        QVERIFY2(tenths >= 700 && tenths <= 1100, qPrintable(read.names.frequencies.at(i)));
    }

    // Lead times are durations the console can read, and some device has one.
    const ProfileIni ini(demo(u"config.ini"_s));
    QSet<int> devicesWithLead;
    for (int n = 1; n <= 8; ++n) {
        const QString lead = ini.getString(u"外设提前"_s, u"外设%1"_s.arg(n), u"missing"_s, 9);
        const QTime t = QTime::fromString(lead, u"HH:mm:ss"_s);
        QVERIFY2(t.isValid(), qPrintable(lead));
        if (t != QTime(0, 0))
            devicesWithLead.insert(n);
    }
    QVERIFY(devicesWithLead.size() >= 2);

    // A lead time is only worth having for a device the schedule switches on.
    const ScheduleFile::WeekRead weekRead = ScheduleFile::readWeekForEditor(week());
    QVERIFY(weekRead.ok);
    QSet<int> used;
    for (const DayTable &day : weekRead.days) {
        for (const ScheduleEntry &e : day) {
            bool ok = false;
            for (int d : dotListValues(e.device, &ok))
                used.insert(d);
        }
    }
    QVERIFY(used.contains(devicesWithLead));
}

void tst_SampleWriter::displayMode()
{
    const ProfileIni ini(demo(u"config.ini"_s));
    // Read as the console reads it, under its own spelling of the key; the
    // first five characters must be a clock time or the adjustment never runs.
    const QString time = ini.getString(u"DisplayMode"_s, u"SetVoltime"_s, u"33:33:33"_s, 9);
    QVERIFY2(QTime::fromString(time.left(5), u"HH:mm"_s).isValid(), qPrintable(time));
    bool ok = false;
    const int volume = ini.getString(u"DisplayMode"_s, u"TermVol"_s, QString(), 9).toInt(&ok);
    QVERIFY(ok);
    QVERIFY(volume >= 0 && volume <= 32);
}

void tst_SampleWriter::tablesAgreeWithTheInstallation_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("dayIndex"); // -1 for a date file
    for (int d = 0; d < 7; ++d)
        QTest::addRow("week, %s", qPrintable(Weekdays::fileName(d))) << week() << d;
    for (const QString &name : dateFiles())
        QTest::addRow("date %s", qPrintable(name)) << demo(u"table/date/"_s + name) << -1;
}

void tst_SampleWriter::tablesAgreeWithTheInstallation()
{
    QFETCH(QString, path);
    QFETCH(int, dayIndex);
    const ScheduleFile::DayRead read = dayIndex < 0
        ? ScheduleFile::readDateFile(path)
        : ScheduleFile::readDayOfWeekFile(path, Weekdays::fileName(dayIndex));
    QVERIFY2(read.ok, qPrintable(read.error));
    QVERIFY(!read.entries.isEmpty());

    QTime previous(0, 0);
    for (const ScheduleEntry &e : read.entries) {
        const QByteArray entry = QString(e.time + u' ' + e.detail).toUtf8();
        const char *what = entry.constData();
        const QTime start = QTime::fromString(e.time, u"HH:mm:ss"_s);
        QVERIFY2(start.isValid() && start >= previous, what);
        previous = start;
        QVERIFY2(e.channel >= 1 && e.channel <= 8, what);
        // On the scale of the console's volume slider, and loud enough to hear.
        QVERIFY2(e.volume >= 10000 && e.volume <= 32767, what);
        const QTime length = QTime::fromString(e.plen, u"HH:mm:ss"_s);
        QVERIFY2(length.isValid() && length > QTime(0, 0), what);
        QVERIFY2(!e.detail.isEmpty(), what);

        const QString problem = targetsProblem(e, m_nodes);
        QVERIFY2(problem.isEmpty(), qPrintable(e.time + u' ' + problem));
    }
}

void tst_SampleWriter::weekOfASchool()
{
    const ScheduleFile::WeekRead read = ScheduleFile::readWeekForEditor(week());
    QVERIFY(read.ok);
    for (int d = 0; d < 5; ++d) {
        const DayTable &day = read.days[std::size_t(d)];
        QVERIFY2(day.size() >= 20, qPrintable(Weekdays::fileName(d)));
        // Bells, music and the news from the tuner on the second source.
        QVERIFY(std::any_of(day.cbegin(), day.cend(), [](const ScheduleEntry &e) {
            return e.channel == 2 && e.filename == peripheralOnly;
        }));
        QVERIFY(std::any_of(day.cbegin(), day.cend(), [](const ScheduleEntry &e) {
            return e.filename.endsWith(u"/bell.wav");
        }));
        QVERIFY(std::any_of(day.cbegin(), day.cend(), [](const ScheduleEntry &e) {
            return e.channel == 1 && !e.filename.endsWith(u"/bell.wav")
                && e.filename != peripheralOnly;
        }));
    }
    for (int d = 5; d < 7; ++d)
        QVERIFY(read.days[std::size_t(d)].size() <= 5);
}

void tst_SampleWriter::dateFilesForComingSchoolDays()
{
    const QStringList names = dateFiles();
    QVERIFY(names.size() >= 2);
    for (const QString &name : names) {
        const QDate day = QDate::fromString(name, u"yyyyMMdd'.txt'"_s);
        QVERIFY2(day.isValid() && day > sampleDay && day.dayOfWeek() <= 5, qPrintable(name));
    }
}

void tst_SampleWriter::remoteListPlaysSampleSongs()
{
    const RemoteListRead read = readRemoteListFile(demo(u"rem_list.txt"_s));
    QVERIFY(read.ok);
    QVERIFY(read.paths.size() >= 3);
    for (const QString &path : read.paths)
        QVERIFY2(QFileInfo(path).isFile() && path.startsWith(demo(u"song/"_s)), qPrintable(path));
}

void tst_SampleWriter::songsArePcmWav()
{
    const QStringList songs = QDir(demo(u"song"_s)).entryList({u"*.wav"_s}, QDir::Files);
    QVERIFY(songs.size() >= 3);
    for (const QString &name : songs) {
        const QByteArray wav = GbkFiles::readBytes(demo(u"song/"_s + name));
        QVERIFY2(wav.size() > 44 && wav.startsWith("RIFF") && wav.mid(8, 8) == "WAVEfmt ",
                 qPrintable(name));
        QCOMPARE(qFromLittleEndian<quint32>(wav.constData() + 4), quint32(wav.size() - 8));
        QCOMPARE(wav.mid(36, 4), QByteArray("data"));
        QCOMPARE(qFromLittleEndian<quint32>(wav.constData() + 40), quint32(wav.size() - 44));
        // Not silence: some sample reaches a tenth of full scale.
        bool heard = false;
        for (qsizetype i = 44; i + 1 < wav.size() && !heard; i += 2)
            heard = std::abs(qFromLittleEndian<qint16>(wav.constData() + i)) > 3276;
        QVERIFY2(heard, qPrintable(name));
    }
}

void tst_SampleWriter::operatorStoreLeadsToTheSample()
{
    QSettings store(u"broadcast"_s, u"broadcast"_s);
    QCOMPARE(store.value(u"setting/setted"_s).toString(), u"yes"_s);
    QCOMPARE(store.value(u"setting/defaultweekfile"_s).toString(), week());
    QCOMPARE(store.value(u"setting/weekmode"_s).toString(), u"True"_s);
    QVERIFY(QFileInfo(store.value(u"setting/backimage"_s).toString()).isFile());
    QCOMPARE(store.value(u"ports/com1"_s).toString(), demo(u"zonesim.link"_s));
}

void tst_SampleWriter::secondWriteChangesNothing()
{
    const QString folder = freshSample();
    QVERIFY(!folder.isEmpty());
    const QMap<QString, QByteArray> before = filesUnder(folder);
    SampleWriter again(folder);
    // A later day: the date files already laid out are the operator's now.
    QCOMPARE(again.write(sampleDay.addDays(30)), QStringList());
    QCOMPARE(filesUnder(folder), before);
}

void tst_SampleWriter::operatorFilesAreKept()
{
    const QString folder = m_dir.filePath(u"operator"_s);
    const QMap<QString, QString> own = {
        {u"node.txt"_s, u"\"传达室\",\"7\",\"1\"\n"_s},
        {u"config.ini"_s, u"[分组名称]\n分组1=东楼\n"_s},
        {u"table/week/sample_week.txt"_s, u"00,00,00,星期一,00,00,00,00,00\n"_s},
        {u"table/date/20260601.txt"_s, u"08:00:00, 1 ,儿童节,x.wav, 20000 ,00:01:00,7.,1.,\n"_s},
    };
    for (auto it = own.cbegin(); it != own.cend(); ++it)
        GbkFiles::writeText(folder + u'/' + it.key(), it.value());
    const QMap<QString, QByteArray> before = filesUnder(folder);
    SampleWriter writer(folder);
    QCOMPARE(writer.write(sampleDay), QStringList());
    const QMap<QString, QByteArray> after = filesUnder(folder);
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QCOMPARE(after.value(it.key()), it.value());
    // The missing files are laid out; a date folder in use gets no samples.
    QVERIFY(after.contains(folder + u"/amp_name.dat"_s));
    QVERIFY(after.contains(folder + u"/rem_list.txt"_s));
    QCOMPARE(QDir(folder + u"/table/date"_s).entryList(QDir::Files),
             QStringList({u"20260601.txt"_s}));
}

void tst_SampleWriter::itemsSoon_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::newRow("Wednesday morning")
        << QDateTime(sampleDay, QTime(9, 12, 34)) << u"09:13:30"_s << u"09:14:00"_s;
    QTest::newRow("on a full ten seconds")
        << QDateTime(sampleDay, QTime(14, 0, 0)) << u"14:01:00"_s << u"14:01:30"_s;
    QTest::newRow("Sunday evening")
        << QDateTime(QDate(2026, 3, 8), QTime(21, 30, 59)) << u"21:31:50"_s << u"21:32:20"_s;
    QTest::newRow("last chance of the day")
        << QDateTime(sampleDay, QTime(23, 58, 9)) << u"23:59:00"_s << u"23:59:30"_s;
}

void tst_SampleWriter::itemsSoon()
{
    QFETCH(QDateTime, now);
    QFETCH(QString, first);
    QFETCH(QString, second);
    const QString folder = freshSample();
    QVERIFY(!folder.isEmpty());
    const QString path = folder + u'/' + SampleWriter::weekFileName();
    const ScheduleFile::WeekRead before = ScheduleFile::readWeekForEditor(path);
    QVERIFY(before.ok);

    SampleWriter writer(folder);
    QCOMPARE(writer.addItemsSoon(now), QString());
    const ScheduleFile::WeekRead after = ScheduleFile::readWeekForEditor(path);
    QVERIFY(after.ok);
    const int today = now.date().dayOfWeek() - 1;
    for (int d = 0; d < 7; ++d) {
        if (d != today)
            QCOMPARE(after.days[std::size_t(d)], before.days[std::size_t(d)]);
    }
    DayTable added = after.days[std::size_t(today)];
    // The day's own items stay, in their order, ahead of the two new ones.
    QCOMPARE(added.mid(0, before.days[std::size_t(today)].size()), before.days[std::size_t(today)]);
    added = added.mid(before.days[std::size_t(today)].size());
    QCOMPARE(added.size(), 2);
    QCOMPARE(added.at(0).time, first);
    QCOMPARE(added.at(1).time, second);
    QCOMPARE(added.at(0).channel, qint16(1));
    QCOMPARE(added.at(1).channel, qint16(2));
    const QList<NodeRecord> nodes = readNodeFile(folder + u"/node.txt"_s).records;
    for (const ScheduleEntry &e : added) {
        QVERIFY(e.detail.startsWith(SampleWriter::soonMarker()));
        QVERIFY(e.volume >= 10000 && e.volume <= 32767);
        QVERIFY(e.filename != peripheralOnly && !e.device.isEmpty());
        const QString problem = targetsProblem(e, nodes);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
}

void tst_SampleWriter::itemsSoonReplaceTheEarlierOnes()
{
    const QString folder = freshSample();
    QVERIFY(!folder.isEmpty());
    SampleWriter writer(folder);
    // Yesterday's run, then today's.
    QCOMPARE(writer.addItemsSoon(QDateTime(sampleDay.addDays(-1), QTime(10, 0, 0))), QString());
    QCOMPARE(writer.addItemsSoon(QDateTime(sampleDay, QTime(15, 20, 0))), QString());
    const ScheduleFile::WeekRead read
        = ScheduleFile::readWeekForEditor(folder + u'/' + SampleWriter::weekFileName());
    QVERIFY(read.ok);
    QStringList soon;
    for (const DayTable &day : read.days) {
        for (const ScheduleEntry &e : day) {
            if (e.detail.startsWith(SampleWriter::soonMarker()))
                soon.append(e.time);
        }
    }
    QCOMPARE(soon, QStringList({u"15:21:00"_s, u"15:21:30"_s}));
}

void tst_SampleWriter::noItemsSoonBeforeMidnight()
{
    const QString folder = freshSample();
    QVERIFY(!folder.isEmpty());
    const QString path = folder + u'/' + SampleWriter::weekFileName();
    const QByteArray sample = GbkFiles::readBytes(path);
    SampleWriter writer(folder);
    QCOMPARE(writer.addItemsSoon(QDateTime(sampleDay, QTime(12, 0, 0))), QString());
    QVERIFY(GbkFiles::readBytes(path) != sample);
    // The second item would fall into tomorrow: none is added, and the
    // earlier run's are taken away.
    QCOMPARE(writer.addItemsSoon(QDateTime(sampleDay, QTime(23, 58, 31))), QString());
    QCOMPARE(GbkFiles::readBytes(path), sample);
}

void tst_SampleWriter::itemsSoonReachTheOperatorsTerminals()
{
    const QString folder = freshSample();
    QVERIFY(!folder.isEmpty());
    QCOMPARE(writeNodeFile(folder + u"/node.txt"_s,
                           {{u"东楼一层"_s, u"200"_s, u"1"_s},
                            {u"东楼二层"_s, u"201"_s, u"1"_s},
                            // Added but not filled in yet.
                            {u"新节点"_s, QString(), u"1"_s},
                            {u"球场"_s, u"210"_s, u"4"_s}}),
             QString());
    SampleWriter writer(folder);
    QCOMPARE(writer.addItemsSoon(QDateTime(sampleDay, QTime(8, 0, 0))), QString());
    const ScheduleFile::DayRead read = ScheduleFile::readDayOfWeekFile(
        folder + u'/' + SampleWriter::weekFileName(), Weekdays::nameForDayOfWeek(3));
    QVERIFY(read.ok);
    QVERIFY(read.entries.size() >= 2);
    QCOMPARE(read.entries.at(read.entries.size() - 2).zone, u"200.201."_s);
    QCOMPARE(read.entries.last().zone, u"210."_s);
}

int main(int argc, char *argv[])
{
    // The operator's store is fixed on its first use: point it into a
    // temporary folder before anything runs.
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
    // The background picture is painted without a display.
    QGuiApplication app(argc, argv);
    tst_SampleWriter test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_samplewriter.moc"
