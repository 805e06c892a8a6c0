#include "consolerig.h"

#include "support/gbkfiles.h"

#include <QDir>
#include <QImage>
#include <QLoggingCategory>

ConsoleRig::ConsoleRig()
{
    QLoggingCategory::setFilterRules(QStringLiteral("quellon.*=false"));
    port.devices.insert(QStringLiteral("/dev/ttyS0"));
    weekFile = dir.filePath(QStringLiteral("table/week/week.txt"));
    writeWeek(line(QStringLiteral("12:00:00"), QStringLiteral("午间"))
              + line(QStringLiteral("07:30:00"), QStringLiteral("起床"))
              + line(QStringLiteral("08:00:00"), QStringLiteral("上课")));
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(QColor(80, 140, 220));
    QDir().mkpath(dir.filePath(QStringLiteral("backimage")));
    picture.save(dir.filePath(QStringLiteral("backimage/clouds.bmp")));
    setting(QStringLiteral("setted"), QStringLiteral("yes"));
    setting(QStringLiteral("backimage"), dir.filePath(QStringLiteral("backimage/clouds.bmp")));
    setting(QStringLiteral("userinfor"), QStringLiteral("第一中学"));
    setting(QStringLiteral("dislaylist"), QStringLiteral("True"));
    setting(QStringLiteral("weekmode"), QStringLiteral("True"));
    setting(QStringLiteral("defaultweekfile"), weekFile);
}

ConsoleRig::~ConsoleRig() = default;

QString ConsoleRig::line(const QString &time, const QString &detail, const QString &file,
                         int volume)
{
    const QString path = file.isEmpty() ? QStringLiteral("/srv/song/铃声.mp3") : file;
    return time + QStringLiteral(", 1 ,") + detail + u',' + path + u',' + QString::number(volume)
        + QStringLiteral(",00:00:30,1.2.,1.,\n");
}

void ConsoleRig::writeWeek(const QString &mondayLines)
{
    GbkFiles::writeText(weekFile,
                        QStringLiteral("00,00,00,星期一,00,00,00,00,00\n") + mondayLines
                            + QStringLiteral("00,00,00,星期二,00,00,00,00,00\n")
                            + line(QStringLiteral("09:00:00"), QStringLiteral("周二")));
}

void ConsoleRig::setting(const QString &key, const QString &value)
{
    store.values.insert(QStringLiteral("setting/") + key, value);
}

Console &ConsoleRig::start(bool runStartUp)
{
    m_console = std::make_unique<Console>(Console::Services {
        clock, realDialogs ? *realDialogs : dialogs, store, player, realMixer ? *realMixer : mixer,
        realPort ? *realPort : port, power, launcher, probe, AppFolder(dir.path())});
    if (runStartUp)
        m_console->startUp();
    return *m_console;
}
