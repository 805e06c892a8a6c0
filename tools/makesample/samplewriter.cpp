#include "samplewriter.h"

#include "directory/ampnamefile.h"
#include "directory/nodefile.h"
#include "directory/remotelistfile.h"
#include "platform/profileini.h"
#include "platform/textfile.h"
#include "schedule/schedulefile.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QRadialGradient>
#include <QSettings>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <tuple>

using namespace Qt::StringLiterals;

SampleWriter::SampleWriter(QString folder)
    : m_folder(std::move(folder))
{
}

QString SampleWriter::weekFileName()
{
    return u"table/week/sample_week.txt"_s;
}

QString SampleWriter::soonMarker()
{
    return u"演示"_s;
}

QByteArray SampleWriter::wavFile(const QList<Note> &notes, Touch touch, int sampleRate)
{
    QByteArray pcm;
    for (const Note &note : notes) {
        const int samples = int(note.seconds * sampleRate);
        const qsizetype start = pcm.size();
        pcm.resize(start + 2 * samples);
        for (int i = 0; i < samples; ++i) {
            const double t = double(i) / sampleRate;
            // A struck note dies away like a chime; a held one fades in and
            // out over 20 ms only, so that neither clicks.
            const double attack = std::min(1.0, t / 0.01);
            const double release = std::min(1.0, (note.seconds - t) / 0.02);
            const double decay = touch == Touch::Struck ? std::exp(-2.5 * t) : 1.0;
            const double phase = 2 * M_PI * note.frequency * t;
            // A little of the octave above makes the tone less bare.
            const double wave = std::sin(phase) + 0.25 * std::sin(2 * phase);
            const double v = note.frequency > 0 ? 9000.0 * attack * release * decay * wave : 0.0;
            qToLittleEndian(qint16(std::lround(v)), pcm.data() + start + 2 * i);
        }
    }
    QByteArray wav;
    auto put32 = [&wav](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        wav.append(b, 4);
    };
    auto put16 = [&wav](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        wav.append(b, 2);
    };
    wav.append("RIFF");
    put32(quint32(36 + pcm.size()));
    wav.append("WAVEfmt ");
    put32(16);
    put16(1); // PCM
    put16(1); // mono
    put32(quint32(sampleRate));
    put32(quint32(sampleRate * 2));
    put16(2);
    put16(16);
    wav.append("data");
    put32(quint32(pcm.size()));
    wav.append(pcm);
    return wav;
}

namespace {

QImage cloudsPicture()
{
    QImage img(1024, 768, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, img.height());
    sky.setColorAt(0.0, QColor(52, 110, 196));
    sky.setColorAt(1.0, QColor(190, 220, 248));
    p.fillRect(img.rect(), sky);
    // Soft clouds made of overlapping white blobs.
    const struct
    {
        int x, y, w;
    } clouds[]
        = {{120, 120, 260}, {560, 80, 320}, {380, 300, 240}, {780, 260, 200}, {60, 420, 300}};
    for (const auto &c : clouds) {
        for (int k = 0; k < 6; ++k) {
            const double cx = c.x + k * c.w / 6.0;
            const double cy = c.y + ((k % 2) ? -c.w / 14.0 : c.w / 20.0);
            const double r = c.w / 4.5 * (k == 2 || k == 3 ? 1.3 : 1.0);
            QRadialGradient g(cx, cy, r);
            g.setColorAt(0.0, QColor(255, 255, 255, 230));
            g.setColorAt(0.7, QColor(255, 255, 255, 140));
            g.setColorAt(1.0, QColor(255, 255, 255, 0));
            p.setBrush(g);
            p.setPen(Qt::NoPen);
            p.drawEllipse(QPointF(cx, cy), r, r);
        }
    }
    return img;
}

// Equal temperament from MIDI note numbers (69 is A4, 440 Hz).
double pitch(int midi)
{
    return 440.0 * std::pow(2.0, (midi - 69) / 12.0);
}

QList<SampleWriter::Note> tune(std::initializer_list<int> midiNotes, double seconds)
{
    QList<SampleWriter::Note> notes;
    for (int m : midiNotes)
        notes.append({m > 0 ? pitch(m) : 0.0, seconds});
    return notes;
}

struct SampleSound
{
    const char16_t *file;
    QList<SampleWriter::Note> notes;
    SampleWriter::Touch touch;
};

QList<SampleSound> sampleSounds()
{
    using Touch = SampleWriter::Touch;
    // The school bell: the four-note chime, up and back.
    QList<SampleWriter::Note> bell = tune({76, 72, 74, 67}, 0.7);
    bell += tune({67, 74, 76, 72}, 0.7);
    bell.last().seconds = 1.8;
    // A light march for the exercises, a calm tune for the eye exercises.
    QList<SampleWriter::Note> exercise = tune({60, 64, 67, 72, 67, 64, 60, 0}, 0.25);
    exercise += tune({62, 65, 69, 74, 69, 65, 62, 0}, 0.25);
    exercise += exercise;
    QList<SampleWriter::Note> music = tune({60, 60, 67, 67, 69, 69}, 0.4);
    music += tune({67}, 0.8);
    music += tune({65, 65, 64, 64, 62, 62}, 0.4);
    music += tune({60}, 0.8);
    QList<SampleWriter::Note> march = tune({67, 72, 72, 76, 72, 76, 79}, 0.3);
    march += tune({79}, 0.6);
    march += tune({77, 76, 74, 72}, 0.3);
    march += tune({72}, 0.9);
    const QList<SampleWriter::Note> eyes = tune({69, 72, 74, 76, 74, 72, 69, 67, 69}, 0.8);
    return {{u"bell.wav", bell, Touch::Struck},
            {u"music.wav", music, Touch::Held},
            {u"exercise.wav", exercise, Touch::Held},
            {u"eyes.wav", eyes, Touch::Held},
            {u"march.wav", march, Touch::Held}};
}

// The groups of the school, by number; amplifier n serves group n.
enum Group { TeachingOne = 1, TeachingTwo, Office, Playground, Canteen, Dorms, Library, Gym };

QStringList groupNames()
{
    return {u"教学楼一"_s, u"教学楼二"_s, u"办公楼"_s, u"操场"_s,
            u"食堂"_s,     u"宿舍"_s,     u"图书馆"_s, u"体育馆"_s};
}

QList<NodeRecord> schoolTerminals()
{
    QList<NodeRecord> nodes;
    const auto add = [&nodes](const QString &name, int address, int group) {
        nodes.append({name, QString::number(address), QString::number(group)});
    };
    // Each building has its own block of addresses, as installers number them.
    const QStringList grades
        = {u"一年级"_s, u"二年级"_s, u"三年级"_s, u"四年级"_s, u"五年级"_s, u"六年级"_s};
    const QStringList classes = {u"一班"_s, u"二班"_s, u"三班"_s};
    for (int g = 0; g < grades.size(); ++g) {
        const bool firstBuilding = g < 3;
        for (int c = 0; c < classes.size(); ++c)
            add(grades.at(g) + classes.at(c), (firstBuilding ? 1 : 17) + (g % 3) * 3 + c,
                firstBuilding ? TeachingOne : TeachingTwo);
    }
    add(u"校长室"_s, 33, Office);
    add(u"教务处"_s, 34, Office);
    add(u"会议室"_s, 35, Office);
    add(u"办公楼大厅"_s, 36, Office);
    add(u"操场主席台"_s, 49, Playground);
    add(u"操场东侧"_s, 50, Playground);
    add(u"操场西侧"_s, 51, Playground);
    add(u"食堂一楼"_s, 65, Canteen);
    add(u"食堂二楼"_s, 66, Canteen);
    add(u"男生宿舍楼"_s, 81, Dorms);
    add(u"女生宿舍楼"_s, 82, Dorms);
    add(u"教师公寓"_s, 83, Dorms);
    add(u"图书馆阅览室"_s, 97, Library);
    add(u"图书馆大厅"_s, 98, Library);
    add(u"体育馆主馆"_s, 113, Gym);
    add(u"体育馆看台"_s, 114, Gym);
    return nodes;
}

QString dotList(const QList<int> &numbers)
{
    QString text;
    for (int n : numbers)
        text += QString::number(n) + u'.';
    return text;
}

// Builds the items of the sample tables: the terminals of the groups an item
// reaches and the amplifiers of those groups follow from the groups.
class TableBuilder
{
public:
    TableBuilder(std::function<QString(const QString &)> song, QList<NodeRecord> terminals)
        : m_song(std::move(song))
        , m_terminals(std::move(terminals))
    {
    }

    ScheduleEntry item(const QString &time, qint16 channel, const QString &detail,
                       const QString &songFile, qint16 volume, const QString &plen,
                       QList<int> groups, const QString &devices = QString()) const
    {
        std::sort(groups.begin(), groups.end());
        QList<int> addresses;
        for (const NodeRecord &t : m_terminals) {
            // A placeholder the operator has not filled in reaches nobody.
            const int address = nodeAddressValue(t.address);
            if (address >= 0 && groups.contains(t.group.toInt()))
                addresses.append(address);
        }
        return {time,
                channel,
                detail,
                m_song(songFile),
                volume,
                plen,
                dotList(addresses),
                dotList(groups),
                devices};
    }

    // A programme from a device alone (the tuner, the microphone): no file
    // is played, the device and the channel's source do the work.
    ScheduleEntry deviceItem(const QString &time, qint16 channel, const QString &detail,
                             qint16 volume, const QString &plen, const QList<int> &groups,
                             const QString &devices) const
    {
        ScheduleEntry e = item(time, channel, detail, QString(), volume, plen, groups, devices);
        e.filename = u"外设控制"_s;
        return e;
    }

    ScheduleEntry bell(const QString &time, const QString &detail, const QList<int> &groups,
                       qint16 volume = 24000) const
    {
        return item(time, 1, detail, u"bell.wav"_s, volume, u"00:00:20"_s, groups);
    }

private:
    std::function<QString(const QString &)> m_song;
    QList<NodeRecord> m_terminals;
};

const QList<int> classrooms = {TeachingOne, TeachingTwo};
const QList<int> teaching = {TeachingOne, TeachingTwo, Office};

// Lessons of 40 minutes: the bell at the start and at the end of each.
void addLessons(DayTable &t, const TableBuilder &b, const QStringList &starts,
                const QStringList &ends, const QStringList &names)
{
    for (int i = 0; i < starts.size(); ++i) {
        t.append(b.bell(starts.at(i), names.at(i) + u"上课铃"_s, teaching));
        t.append(b.bell(ends.at(i), u"下课铃"_s, teaching));
    }
}

DayTable schoolDay(const TableBuilder &b, int dayIndex)
{
    const bool monday = dayIndex == 0;
    const bool friday = dayIndex == 4;
    DayTable t;
    // The power sequencer (device 1) comes on with the first item of the day.
    t.append(b.item(u"06:30:00"_s, 1, u"起床音乐"_s, u"music.wav"_s, 18000, u"00:10:00"_s, {Dorms},
                    u"1."_s));
    t.append(
        b.item(u"07:10:00"_s, 1, u"早餐音乐"_s, u"music.wav"_s, 16000, u"00:20:00"_s, {Canteen}));
    if (monday)
        t.append(b.item(u"07:40:00"_s, 1, u"升旗仪式"_s, u"march.wav"_s, 26000, u"00:15:00"_s,
                        {TeachingOne, TeachingTwo, Playground}, u"1.3."_s));
    else
        t.append(b.bell(u"07:40:00"_s, u"早读预备铃"_s, classrooms, 22000));
    addLessons(t, b, {u"08:00:00"_s, u"08:50:00"_s}, {u"08:40:00"_s, u"09:30:00"_s},
               {u"第一节"_s, u"第二节"_s});
    t.append(b.item(u"09:35:00"_s, 1, u"广播体操"_s, u"exercise.wav"_s, 26000, u"00:15:00"_s,
                    {TeachingOne, TeachingTwo, Playground}));
    addLessons(t, b, {u"10:00:00"_s}, {u"10:40:00"_s}, {u"第三节"_s});
    t.append(
        b.item(u"10:45:00"_s, 1, u"眼保健操"_s, u"eyes.wav"_s, 20000, u"00:05:00"_s, classrooms));
    addLessons(t, b, {u"10:50:00"_s}, {u"11:30:00"_s}, {u"第四节"_s});
    t.append(
        b.item(u"11:35:00"_s, 1, u"午间音乐"_s, u"music.wav"_s, 16000, u"00:20:00"_s, {Canteen}));
    // The news comes from the tuner (device 2) on programme source 2.
    t.append(b.deviceItem(u"12:00:00"_s, 2, u"午间新闻"_s, 18000, u"00:30:00"_s, {Canteen, Dorms},
                          u"2."_s));
    t.append(b.bell(u"12:40:00"_s, u"午休铃"_s, {TeachingOne, TeachingTwo, Dorms}, 16000));
    t.append(b.bell(u"13:50:00"_s, u"午休起床铃"_s, {TeachingOne, TeachingTwo, Dorms}, 20000));
    addLessons(t, b, {u"14:00:00"_s, u"14:50:00"_s, u"15:40:00"_s},
               {u"14:40:00"_s, u"15:30:00"_s, u"16:20:00"_s},
               {u"第五节"_s, u"第六节"_s, u"第七节"_s});
    if (friday) {
        // The boarders go home for the weekend.
        t.append(b.item(u"16:30:00"_s, 1, u"周末离校音乐"_s, u"march.wav"_s, 20000, u"00:20:00"_s,
                        {TeachingOne, TeachingTwo, Playground, Dorms}));
        return t;
    }
    t.append(b.item(u"16:30:00"_s, 1, u"课外活动音乐"_s, u"music.wav"_s, 22000, u"00:30:00"_s,
                    {Playground, Gym}));
    t.append(
        b.item(u"17:30:00"_s, 1, u"晚餐音乐"_s, u"music.wav"_s, 16000, u"00:20:00"_s, {Canteen}));
    t.append(b.deviceItem(u"18:30:00"_s, 2, u"晚间新闻"_s, 18000, u"00:30:00"_s, {Dorms}, u"2."_s));
    t.append(b.bell(u"19:00:00"_s, u"晚自习上课铃"_s, classrooms, 22000));
    t.append(b.bell(u"20:30:00"_s, u"晚自习下课铃"_s, classrooms, 22000));
    t.append(b.bell(u"21:30:00"_s, u"熄灯铃"_s, {Dorms}, 16000));
    return t;
}

WeekTables sampleWeek(const TableBuilder &b)
{
    WeekTables week;
    for (int day = 0; day < 5; ++day)
        week[std::size_t(day)] = schoolDay(b, day);
    // The weekend is quiet: the library opens on Saturday, the boarders come
    // back on Sunday evening.
    week[5] = {
        b.item(u"09:00:00"_s, 1, u"图书馆开放"_s, u"music.wav"_s, 16000, u"00:05:00"_s, {Library})};
    week[6] = {b.item(u"17:00:00"_s, 1, u"返校音乐"_s, u"march.wav"_s, 18000, u"00:30:00"_s,
                      {Playground, Dorms}, u"1."_s),
               b.bell(u"19:00:00"_s, u"晚自习上课铃"_s, classrooms, 22000),
               b.bell(u"20:30:00"_s, u"晚自习下课铃"_s, classrooms, 22000),
               b.bell(u"21:30:00"_s, u"熄灯铃"_s, {Dorms}, 16000)};
    return week;
}

DayTable sportsDay(const TableBuilder &b)
{
    return {
        b.item(u"07:30:00"_s, 1, u"运动员入场"_s, u"march.wav"_s, 26000, u"00:30:00"_s,
               {Playground, Gym}, u"1."_s),
        // Speeches go through the wireless microphone (device 3).
        b.deviceItem(u"08:00:00"_s, 3, u"开幕式讲话"_s, 24000, u"00:30:00"_s, {Playground},
                     u"3."_s),
        b.item(u"08:30:00"_s, 1, u"广播体操表演"_s, u"exercise.wav"_s, 26000, u"00:15:00"_s,
               {Playground}),
        b.item(u"09:00:00"_s, 1, u"比赛进行曲"_s, u"march.wav"_s, 22000, u"02:30:00"_s,
               {Playground, Gym}),
        b.item(u"11:35:00"_s, 1, u"午间音乐"_s, u"music.wav"_s, 16000, u"00:20:00"_s, {Canteen}),
        b.deviceItem(u"12:00:00"_s, 2, u"午间新闻"_s, 18000, u"00:30:00"_s, {Canteen, Dorms},
                     u"2."_s),
        b.item(u"14:00:00"_s, 1, u"比赛进行曲"_s, u"march.wav"_s, 22000, u"02:00:00"_s,
               {Playground, Gym}),
        b.deviceItem(u"16:00:00"_s, 3, u"闭幕式讲话"_s, 24000, u"00:20:00"_s, {Playground},
                     u"3."_s),
        b.bell(u"16:30:00"_s, u"放学铃"_s, teaching)};
}

DayTable examDay(const TableBuilder &b)
{
    DayTable t;
    const struct
    {
        const char16_t *enter, *start, *warn, *end;
        bool lunchAfter;
    } papers[] = {{u"07:50:00", u"08:00:00", u"09:15:00", u"09:30:00", false},
                  {u"09:50:00", u"10:00:00", u"11:15:00", u"11:30:00", true},
                  {u"14:20:00", u"14:30:00", u"15:45:00", u"16:00:00", false}};
    for (const auto &p : papers) {
        t.append(b.bell(QString::fromUtf16(p.enter), u"考生入场铃"_s, classrooms, 20000));
        t.append(b.bell(QString::fromUtf16(p.start), u"开考铃"_s, teaching));
        t.append(b.bell(QString::fromUtf16(p.warn), u"考试结束前十五分钟"_s, classrooms, 20000));
        t.append(b.bell(QString::fromUtf16(p.end), u"收卷铃"_s, teaching));
        if (p.lunchAfter) {
            t.append(b.item(u"11:35:00"_s, 1, u"午间音乐"_s, u"music.wav"_s, 16000, u"00:20:00"_s,
                            {Canteen}));
            t.append(b.deviceItem(u"12:00:00"_s, 2, u"午间新闻"_s, 18000, u"00:30:00"_s,
                                  {Canteen, Dorms}, u"2."_s));
        }
    }
    return t;
}

DayTable artFestival(const TableBuilder &b)
{
    DayTable t;
    addLessons(t, b, {u"08:00:00"_s, u"08:50:00"_s, u"10:00:00"_s, u"10:50:00"_s},
               {u"08:40:00"_s, u"09:30:00"_s, u"10:40:00"_s, u"11:30:00"_s},
               {u"第一节"_s, u"第二节"_s, u"第三节"_s, u"第四节"_s});
    t.append(
        b.item(u"11:35:00"_s, 1, u"午间音乐"_s, u"music.wav"_s, 16000, u"00:20:00"_s, {Canteen}));
    t.append(b.item(u"14:00:00"_s, 1, u"艺术节入场音乐"_s, u"music.wav"_s, 20000, u"00:30:00"_s,
                    {Gym}, u"1."_s));
    t.append(b.deviceItem(u"14:30:00"_s, 3, u"文艺汇演"_s, 24000, u"02:00:00"_s, {Gym}, u"3."_s));
    t.append(b.item(u"16:30:00"_s, 1, u"散场音乐"_s, u"march.wav"_s, 20000, u"00:20:00"_s,
                    {Playground, Gym}));
    return t;
}

// The next school day from the given day on.
QDate schoolDayFrom(QDate day)
{
    while (day.dayOfWeek() > 5)
        day = day.addDays(1);
    return day;
}

} // namespace

QString SampleWriter::song(const QString &name) const
{
    return m_folder + u"/song/"_s + name;
}

void SampleWriter::writeIfMissing(const QString &name,
                                  const std::function<QString(const QString &)> &writer)
{
    const QString path = m_folder + u'/' + name;
    if (QFileInfo::exists(path))
        return;
    const QString error = writer(path);
    if (!error.isEmpty())
        m_problems.append(path + u": "_s + error);
}

QStringList SampleWriter::writeSeed()
{
    for (const char *sub : {"backimage", "song"}) {
        if (!QDir(m_folder).mkpath(QString::fromLatin1(sub)))
            m_problems.append(u"cannot create %1"_s.arg(QString::fromLatin1(sub)));
    }
    writeIfMissing(u"backimage/clouds.bmp"_s, [](const QString &path) {
        return cloudsPicture().save(path, "BMP") ? QString() : u"picture not saved"_s;
    });
    for (const SampleSound &s : sampleSounds()) {
        writeIfMissing(u"song/"_s + QString::fromUtf16(s.file), [&s](const QString &path) {
            return saveFileAtomically(path, wavFile(s.notes, s.touch));
        });
    }
    return m_problems;
}

QStringList SampleWriter::write(const QDate &today)
{
    for (const char *sub : {"table/week", "table/date", "backimage", "playlist", "song", "other"}) {
        if (!QDir(m_folder).mkpath(QString::fromLatin1(sub)))
            m_problems.append(u"cannot create %1"_s.arg(QString::fromLatin1(sub)));
    }
    writeSeed();

    writeIfMissing(u"node.txt"_s,
                   [](const QString &path) { return writeNodeFile(path, schoolTerminals()); });

    writeIfMissing(u"amp_name.dat"_s, [](const QString &path) {
        AmpNames names;
        const QStringList groups = groupNames();
        for (int i = 0; i < 8; ++i)
            names.amps[i] = groups.at(i) + u" 250W"_s;
        names.frequencies = {u"76.5"_s, u"90.0"_s, u"84.5"_s, u"88.0"_s,
                             u"91.5"_s, u"95.0"_s, u"98.5"_s, u"103.5"_s};
        names.devices = {u"电源时序器"_s, u"调频调谐器"_s, u"无线话筒"_s,     u"CD播放机"_s,
                         u"录音卡座"_s,   u"DVD影碟机"_s,  u"消防报警接口"_s, u"备用"_s};
        return writeAmpNameFile(path, names);
    });

    writeIfMissing(u"rem_list.txt"_s, [this](const QString &path) {
        return writeRemoteListFile(path,
                                   {song(u"music.wav"_s), song(u"march.wav"_s),
                                    song(u"exercise.wav"_s), song(u"eyes.wav"_s)});
    });

    const TableBuilder builder([this](const QString &name) { return song(name); },
                               schoolTerminals());
    writeIfMissing(weekFileName(), [&builder](const QString &path) {
        return ScheduleFile::writeWeekFile(path, sampleWeek(builder));
    });

    writeDateFiles(today);

    writeIfMissing(u"config.ini"_s, [](const QString &path) {
        const ProfileIni ini(path);
        QList<std::tuple<QString, QString, QString>> values = {
            // Every morning at seven all terminals are set to the same volume.
            {u"DisplayMode"_s, u"SetVolTime"_s, u"07:00:00"_s},
            {u"DisplayMode"_s, u"TermVol"_s, u"24"_s},
            {u"DisplayMode"_s, u"VCD"_s, u"0"_s},
        };
        // The power sequencer needs half a minute before the amplifiers may
        // be fed, the tuner a few seconds to lock onto its station.
        const QStringList leads = {u"00:00:30"_s, u"00:00:10"_s};
        for (int n = 1; n <= 8; ++n)
            values.append({u"外设提前"_s, u"外设%1"_s.arg(n), leads.value(n - 1, u"00:00:00"_s)});
        const QStringList groups = groupNames();
        for (int n = 1; n <= 8; ++n)
            values.append({u"分组名称"_s, u"分组%1"_s.arg(n), groups.at(n - 1)});
        for (const auto &[section, key, value] : values) {
            const QString error = ini.writeString(section, key, value);
            if (!error.isEmpty())
                return error;
        }
        return QString();
    });

    writeUserStore();
    return m_problems;
}

void SampleWriter::writeDateFiles(const QDate &today)
{
    // Laid out once: a date folder that holds any schedule is the operator's.
    const QDir dates(m_folder + u"/table/date"_s);
    if (!dates.entryList({u"*.txt"_s}, QDir::Files).isEmpty())
        return;
    const TableBuilder builder([this](const QString &name) { return song(name); },
                               schoolTerminals());
    const std::pair<QDate, DayTable> days[] = {
        {schoolDayFrom(today.addDays(7)), sportsDay(builder)},
        {schoolDayFrom(today.addDays(14)), examDay(builder)},
        {schoolDayFrom(today.addDays(21)), artFestival(builder)},
    };
    for (const auto &[day, table] : days) {
        // A named reference: lambdas cannot capture a structured binding
        // before C++20's later compilers.
        const DayTable &entries = table;
        writeIfMissing(
            u"table/date/"_s + day.toString(u"yyyyMMdd"_s) + u".txt"_s,
            [&entries](const QString &path) { return ScheduleFile::writeDateFile(path, entries); });
    }
}

void SampleWriter::writeUserStore()
{
    // The operator's store; the first start would otherwise choose no week file.
    QSettings store(u"broadcast"_s, u"broadcast"_s);
    // Port com1 leads to the controller simulator unless it was mapped elsewhere.
    if (!store.contains(u"ports/com1"_s))
        store.setValue(u"ports/com1"_s, QString(m_folder + u"/zonesim.link"_s));
    store.beginGroup(u"setting"_s);
    if (store.value(u"setted"_s).toString() == u"yes") {
        store.endGroup();
        store.sync();
        return;
    }
    // Booleans are stored as the words the console has always written.
    const auto booleanText = [](bool value) { return value ? u"True"_s : u"False"_s; };
    const QList<std::pair<QString, QString>> values = {
        {u"backimage"_s, m_folder + u"/backimage/clouds.bmp"_s},
        {u"userinfor"_s, u"阳光实验学校"_s},
        {u"dislaylist"_s, booleanText(true)},
        {u"weekmode"_s, booleanText(true)},
        {u"defaultdatefile"_s, QString()},
        {u"defaultweekfile"_s, m_folder + u'/' + weekFileName()},
        {u"shutdown"_s, booleanText(false)},
        {u"auto_set_open_time"_s, booleanText(true)},
        {u"com"_s, u"com1"_s},
        {u"openamptime"_s, u"00:00:05"_s},
        {u"closeamptime"_s, u"00:01:00"_s},
        {u"ampnoopen"_s, booleanText(false)},
        {u"ampopenall"_s, booleanText(false)},
        {u"ampopenchoice"_s, booleanText(true)},
        {u"rm_scope"_s, booleanText(false)},
        {u"setted"_s, u"yes"_s},
    };
    for (const auto &[key, value] : values)
        store.setValue(key, value);
    store.endGroup();
    store.sync();
    if (store.status() != QSettings::NoError)
        m_problems.append(u"the settings store could not be written: %1"_s.arg(store.fileName()));
}

QString SampleWriter::addItemsSoon(const QDateTime &now)
{
    const QString path = m_folder + u'/' + weekFileName();
    ScheduleFile::WeekRead week = ScheduleFile::readWeekForEditor(path);
    if (!week.ok)
        return u"%1: %2"_s.arg(path, week.error);
    const QString marker = soonMarker();
    for (DayTable &day : week.days)
        day.removeIf([&marker](const ScheduleEntry &e) { return e.detail.startsWith(marker); });
    const QDateTime first = now.addSecs(60 - now.time().second() % 10);
    const QDateTime second = first.addSecs(30);
    // Too close to midnight for today's table, the earlier run's items go all the same.
    if (second.date() == now.date()) {
        // The items reach the terminals of the installation as it is now,
        // which the operator may have changed since the sample was laid out.
        const NodeFileRead nodes = readNodeFile(m_folder + u"/node.txt"_s);
        const TableBuilder builder([this](const QString &name) { return song(name); },
                                   nodes.records.isEmpty() ? schoolTerminals() : nodes.records);
        DayTable &today = week.days[std::size_t(now.date().dayOfWeek() - 1)];
        today.append(builder.item(first.toString(u"HH:mm:ss"_s), 1, marker + u"：铃声"_s,
                                  u"bell.wav"_s, 24000, u"00:00:10"_s, {TeachingOne}, u"1."_s));
        today.append(builder.item(second.toString(u"HH:mm:ss"_s), 2, marker + u"：音乐"_s,
                                  u"music.wav"_s, 20000, u"00:00:20"_s, {Playground}, u"4."_s));
    }
    return ScheduleFile::writeWeekFile(path, week.days);
}
