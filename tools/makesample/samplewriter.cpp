#include "samplewriter.h"

#include "console/settingsloader.h"
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

#include <cmath>
#include <functional>

SampleWriter::SampleWriter(QString folder)
    : m_folder(std::move(folder))
{
}

QByteArray SampleWriter::sineWav(double seconds, double frequency, int sampleRate)
{
    const int samples = int(seconds * sampleRate);
    QByteArray pcm(samples * 2, Qt::Uninitialized);
    for (int i = 0; i < samples; ++i) {
        // Fade in and out over 20 ms so the tone does not click.
        const double t = double(i) / sampleRate;
        const double fade = std::min({1.0, t / 0.02, (seconds - t) / 0.02});
        const auto v = qint16(std::lround(12000.0 * fade * std::sin(2 * M_PI * frequency * t)));
        qToLittleEndian(v, pcm.data() + 2 * i);
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
    } clouds[] = {{120, 120, 260}, {560, 80, 320}, {380, 300, 240}, {780, 260, 200}, {60, 420, 300}};
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

ScheduleEntry entry(const QString &time, qint16 channel, const QString &detail,
                    const QString &file, qint16 volume, const QString &plen, const QString &zone,
                    const QString &amp, const QString &device)
{
    return ScheduleEntry {time, channel, detail, file, volume, plen, zone, amp, device};
}

} // namespace

void SampleWriter::writeIfMissing(const QString &name,
                                  const std::function<QString(const QString &)> &writer)
{
    const QString path = m_folder + u'/' + name;
    if (QFileInfo::exists(path))
        return;
    const QString error = writer(path);
    if (!error.isEmpty())
        m_problems.append(path + QStringLiteral(": ") + error);
}

QStringList SampleWriter::write()
{
    for (const char *sub : {"table/week", "table/date", "backimage", "playlist", "song", "other"}) {
        if (!QDir(m_folder).mkpath(QString::fromLatin1(sub)))
            m_problems.append(QStringLiteral("cannot create %1").arg(QString::fromLatin1(sub)));
    }

    writeIfMissing(QStringLiteral("backimage/clouds.bmp"), [](const QString &path) {
        return cloudsPicture().save(path, "BMP") ? QString() : QStringLiteral("picture not saved");
    });
    writeIfMissing(QStringLiteral("song/bell.wav"), [](const QString &path) {
        return saveFileAtomically(path, sineWav(3.0, 880.0));
    });
    writeIfMissing(QStringLiteral("song/music.wav"), [](const QString &path) {
        return saveFileAtomically(path, sineWav(8.0, 440.0));
    });

    writeIfMissing(QStringLiteral("node.txt"), [](const QString &path) {
        QList<NodeRecord> nodes;
        const QStringList grades = {QStringLiteral("一年级"), QStringLiteral("二年级"),
                                    QStringLiteral("三年级")};
        int address = 1;
        for (int g = 0; g < grades.size(); ++g) {
            for (int c = 1; c <= 4; ++c) {
                nodes.append({grades.at(g) + QString::number(c) + QStringLiteral("班"),
                              QString::number(address++), QString::number(g + 1)});
            }
        }
        nodes.append({QStringLiteral("操场"), QStringLiteral("100"), QStringLiteral("4")});
        nodes.append({QStringLiteral("办公楼大厅"), QStringLiteral("101"), QStringLiteral("4")});
        return writeNodeFile(path, nodes);
    });

    writeIfMissing(QStringLiteral("amp_name.dat"), [](const QString &path) {
        AmpNames names;
        const QStringList freqs = {QStringLiteral("75.0"), QStringLiteral("78.5"),
                                   QStringLiteral("82.0"), QStringLiteral("85.5"),
                                   QStringLiteral("89.0"), QStringLiteral("92.5"),
                                   QStringLiteral("96.0"), QStringLiteral("99.5")};
        for (int i = 0; i < 8; ++i) {
            names.amps[i] = QStringLiteral("功放%1（教学楼）").arg(i + 1);
            names.frequencies[i] = freqs.at(i);
            names.devices[i] = QStringLiteral("外设%1").arg(i + 1);
        }
        names.devices[0] = QStringLiteral("电源时序器");
        names.devices[1] = QStringLiteral("调谐器");
        return writeAmpNameFile(path, names);
    });

    const QString song = m_folder + QStringLiteral("/song/");
    writeIfMissing(QStringLiteral("rem_list.txt"), [&song](const QString &path) {
        return writeRemoteListFile(path, {song + QStringLiteral("music.wav"),
                                          song + QStringLiteral("bell.wav")});
    });

    writeIfMissing(QStringLiteral("table/week/sample_week.txt"), [&song](const QString &path) {
        const QString bell = song + QStringLiteral("bell.wav");
        const QString music = song + QStringLiteral("music.wav");
        WeekTables week;
        for (int day = 0; day < 7; ++day) {
            DayTable &t = week[std::size_t(day)];
            // Deliberately out of order: the console shows them by time.
            t.append(entry(QStringLiteral("12:00:00"), 2, QStringLiteral("午间音乐"), music, 70,
                           QStringLiteral("00:00:08"), QStringLiteral("100.101."),
                           QStringLiteral("2."), QString()));
            t.append(entry(QStringLiteral("07:30:00"), 1, QStringLiteral("起床铃"), bell, 80,
                           QStringLiteral("00:00:03"), QStringLiteral("1.2.3.4.5.6.7.8."),
                           QStringLiteral("1."), QStringLiteral("1.")));
            t.append(entry(QStringLiteral("08:00:00"), 1, QStringLiteral("上课铃"), bell, 80,
                           QStringLiteral("00:00:03"), QStringLiteral("1.2.3.4.5.6.7.8.9.10.11.12."),
                           QStringLiteral("1.2."), QString()));
            t.append(entry(QStringLiteral("10:00:00"), 3, QStringLiteral("眼保健操"), music, 75,
                           QStringLiteral("00:00:08"), QStringLiteral("9.10.11.12."),
                           QStringLiteral("3."), QString()));
            t.append(entry(QStringLiteral("16:30:00"), 1, QStringLiteral("放学铃"), bell, 80,
                           QStringLiteral("00:00:03"), QStringLiteral("1.2.3.4.5.6.7.8.9.10.11.12."),
                           QStringLiteral("1.2."), QStringLiteral("1.")));
            if (day < 5)
                t.append(entry(QStringLiteral("14:00:00"), 4, QStringLiteral("外设控制"),
                               QStringLiteral("外设控制"), 0, QStringLiteral("00:10:00"),
                               QString(), QString(), QStringLiteral("2.")));
        }
        return ScheduleFile::writeWeekFile(path, week);
    });

    writeIfMissing(QStringLiteral("config.ini"), [](const QString &path) {
        const ProfileIni ini(path);
        QString error = ini.writeString(QStringLiteral("DisplayMode"), QStringLiteral("SetVolTime"),
                                        QStringLiteral("33:33:33"));
        const std::pair<const char16_t *, const char16_t *> values[] = {
            {u"TermVol", u"22"}, {u"VCD", u"0"},
        };
        for (const auto &[key, value] : values) {
            if (error.isEmpty())
                error = ini.writeString(QStringLiteral("DisplayMode"), QString::fromUtf16(key),
                                        QString::fromUtf16(value));
        }
        const QStringList groups = {QStringLiteral("一年级"), QStringLiteral("二年级"),
                                    QStringLiteral("三年级"), QStringLiteral("公共区域")};
        for (int g = 0; g < groups.size() && error.isEmpty(); ++g)
            error = ini.writeString(QStringLiteral("分组名称"), QStringLiteral("分组%1").arg(g + 1),
                                    groups.at(g));
        if (error.isEmpty())
            error = ini.writeString(QStringLiteral("外设提前"), QStringLiteral("外设1"),
                                    QStringLiteral("00:00:10"));
        return error;
    });

    writeUserStore();
    return m_problems;
}

void SampleWriter::writeUserStore()
{
    // The operator's store; the first start would otherwise choose no week file.
    QSettings store(QStringLiteral("broadcast"), QStringLiteral("broadcast"));
    // Port com1 leads to the controller simulator unless it was mapped elsewhere.
    if (!store.contains(QStringLiteral("ports/com1")))
        store.setValue(QStringLiteral("ports/com1"), QString(m_folder + QStringLiteral("/zonesim.link")));
    store.beginGroup(QStringLiteral("setting"));
    if (store.value(QStringLiteral("setted")).toString() == u"yes")
        return;
    using SettingsLoader::booleanText;
    const QList<std::pair<QString, QString>> values = {
        {QStringLiteral("backimage"), m_folder + QStringLiteral("/backimage/clouds.bmp")},
        {QStringLiteral("userinfor"), QStringLiteral("示范学校")},
        {QStringLiteral("dislaylist"), booleanText(true)},
        {QStringLiteral("weekmode"), booleanText(true)},
        {QStringLiteral("defaultdatefile"), QString()},
        {QStringLiteral("defaultweekfile"), m_folder + QStringLiteral("/table/week/sample_week.txt")},
        {QStringLiteral("shutdown"), booleanText(false)},
        {QStringLiteral("auto_set_open_time"), booleanText(true)},
        {QStringLiteral("com"), QStringLiteral("com1")},
        {QStringLiteral("openamptime"), QStringLiteral("00:00:05")},
        {QStringLiteral("closeamptime"), QStringLiteral("00:01:00")},
        {QStringLiteral("ampnoopen"), booleanText(false)},
        {QStringLiteral("ampopenall"), booleanText(false)},
        {QStringLiteral("ampopenchoice"), booleanText(true)},
        {QStringLiteral("rm_scope"), booleanText(false)},
        {QStringLiteral("setted"), QStringLiteral("yes")},
    };
    for (const auto &[key, value] : values)
        store.setValue(key, value);
    store.endGroup();
    store.sync();
    if (store.status() != QSettings::NoError)
        m_problems.append(QStringLiteral("the settings store could not be written: %1").arg(store.fileName()));
}

QString SampleWriter::addItemsSoon(const QDateTime &now)
{
    const QString path = m_folder + QStringLiteral("/table/week/sample_week.txt");
    ScheduleFile::WeekRead week = ScheduleFile::readWeekForEditor(path);
    if (!week.ok)
        return QStringLiteral("%1: %2").arg(path, week.error);
    const QString marker = QStringLiteral("演示");
    const QString song = m_folder + QStringLiteral("/song/");
    for (DayTable &day : week.days)
        day.removeIf([&marker](const ScheduleEntry &e) { return e.detail.startsWith(marker); });
    const QDateTime first = now.addSecs(60 - now.time().second() % 10);
    const QDateTime second = first.addSecs(30);
    if (second.date() != now.date())
        return {}; // too close to midnight for today's table
    DayTable &today = week.days[std::size_t(now.date().dayOfWeek() - 1)];
    today.append(entry(first.toString(QStringLiteral("HH:mm:ss")), 1, QStringLiteral("演示：铃声"),
                       song + QStringLiteral("bell.wav"), 24000, QStringLiteral("00:00:05"),
                       QStringLiteral("1.2.3.4.5.6."), QStringLiteral("1."), QStringLiteral("1.")));
    today.append(entry(second.toString(QStringLiteral("HH:mm:ss")), 2, QStringLiteral("演示：音乐"),
                       song + QStringLiteral("music.wav"), 20000, QStringLiteral("00:00:10"),
                       QStringLiteral("100.101."), QStringLiteral("2."), QStringLiteral("2.")));
    return ScheduleFile::writeWeekFile(path, week.days);
}
