// Fuzz targets for the writers: whatever a window or a core hands a writer is
// either written so that its reader gives it back identical, or refused
// before anything is written, the old file byte for byte. And the schedule
// editor's commands, in any order, keep the week's Modified flag honest.

#include "fuzzinput.h"
#include "fuzztargets.h"

#include "directory/ampnamefile.h"
#include "directory/nodefile.h"
#include "directory/remotelistfile.h"
#include "platform/savedfiles.h"
#include "players/playlistfile.h"
#include "schedule/daytablemodel.h"
#include "schedule/schedulefile.h"
#include "schedule/weekeditor.h"

#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace Fuzz {
namespace {

QTemporaryDir &scratch()
{
    static QTemporaryDir dir;
    check(dir.isValid(), "scratch folder");
    return dir;
}

// The file as it stands before a write, so that a refusal can be held to it.
const QByteArray kBefore = QByteArrayLiteral("\"old\",\"file\"\r\n");

QString freshFile(const QString &name)
{
    const QString path = scratch().filePath(name);
    QFile file(path);
    check(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(kBefore) > 0,
          "the old file is written");
    return path;
}

void refusedUntouched(const QString &path)
{
    QFile file(path);
    check(file.open(QIODevice::ReadOnly) && file.readAll() == kBefore,
          "a refused save leaves the old file byte for byte");
}

} // namespace

int nodeRoundTrip(const std::uint8_t *data, std::size_t size)
{
    Input in(data, size);
    QList<NodeRecord> records(int(in.byte() % 6));
    for (NodeRecord &r : records)
        r = {in.text(12), in.text(4), in.text(2)};
    const QString path = freshFile(u"node.txt"_s);
    if (!writeNodeFile(path, records).isEmpty()) {
        refusedUntouched(path);
        return 0;
    }
    const NodeFileRead read = readNodeFile(path);
    check(read.ok && read.records == records, "node.txt reads back as written");
    return 0;
}

int ampNamesRoundTrip(const std::uint8_t *data, std::size_t size)
{
    Input in(data, size);
    AmpNames names;
    for (QStringList *part : {&names.amps, &names.frequencies, &names.devices}) {
        for (QString &field : *part)
            field = in.text(8);
    }
    const QString path = freshFile(u"amp_name.dat"_s);
    if (!writeAmpNameFile(path, names).isEmpty()) {
        refusedUntouched(path);
        return 0;
    }
    const AmpNamesRead read = readAmpNameFile(path);
    check(read.ok && read.names.amps == names.amps && read.names.devices == names.devices
              && read.names.frequencies == names.frequencies,
          "amp_name.dat reads back as written");
    return 0;
}

int remoteListRoundTrip(const std::uint8_t *data, std::size_t size)
{
    Input in(data, size);
    QStringList paths;
    for (int n = int(in.byte() % 6); n > 0; --n)
        paths << in.text(16);
    const QString path = freshFile(u"rem_list.txt"_s);
    if (!writeRemoteListFile(path, paths).isEmpty()) {
        refusedUntouched(path);
        return 0;
    }
    const RemoteListRead read = readRemoteListFile(path);
    check(read.ok && read.paths == paths, "rem_list.txt reads back as written");
    return 0;
}

int playlistRoundTrip(const std::uint8_t *data, std::size_t size)
{
    Input in(data, size);
    QStringList paths;
    for (int n = int(in.byte() % 6); n > 0; --n)
        paths << in.text(16);
    const QString path = freshFile(u"list.lst"_s);
    if (!writePlaylistFile(path, paths).isEmpty()) {
        refusedUntouched(path);
        return 0;
    }
    // A blank line is no entry: an empty path is not kept by the format.
    QStringList kept = paths;
    kept.removeAll(QString());
    const PlaylistRead read = readPlaylistFile(path);
    check(read.ok && read.paths == kept, "a playlist reads back as written");
    return 0;
}

int weekEditor(const std::uint8_t *data, std::size_t size)
{
    Input in(data, size);
    WeekEditor week;
    SavedFiles saved;
    int announced = 0;
    QObject::connect(&saved, &SavedFiles::saved, [&announced] { ++announced; });
    const auto entry = [&in] {
        ScheduleEntry e;
        // Mostly good times, now and then anything.
        e.time = in.byte() % 4 ? u"%1:%2:%3"_s.arg(in.byte() % 24, 2, 10, QChar(u'0'))
                                     .arg(in.byte() % 60, 2, 10, QChar(u'0'))
                                     .arg(in.byte() % 60, 2, 10, QChar(u'0'))
                               : in.text(9);
        e.channel = qint16(1 + in.byte() % 8);
        e.detail = in.text(6);
        e.filename = in.text(10);
        e.volume = qint16(in.byte() * 128);
        e.plen = in.byte() % 4 ? u"00:%1:%2"_s.arg(in.byte() % 60, 2, 10, QChar(u'0'))
                                     .arg(in.byte() % 60, 2, 10, QChar(u'0'))
                               : in.text(9);
        e.zone = u"%1."_s.arg(in.byte());
        e.amp = u"%1."_s.arg(1 + in.byte() % 8);
        e.device = QString();
        return e;
    };
    const QString path = scratch().filePath(u"week.txt"_s);
    for (int step = 0; step < 40 && !in.atEnd(); ++step) {
        const unsigned command = in.byte() % 11;
        const int day = int(in.byte() % 7);
        const int row = int(in.byte() % 6) - 1;
        const WeekTables before = week.tables();
        week.setModified(false);
        switch (command) {
        case 0:
        case 1:
            week.add(day, entry());
            break;
        case 2:
            week.modify(day, row, entry());
            break;
        case 3:
            week.remove(day, row);
            break;
        case 4:
            week.removeAll(day);
            break;
        case 5:
            week.moveUp(day, row);
            break;
        case 6:
            week.moveDown(day, row);
            break;
        case 7:
            week.arrangeFrom(day, row);
            break;
        case 8:
            // From the day chosen in the box (none: -1) to the current tab;
            // now and then a day that is no day.
            week.copyDay(int(in.byte() % 8) - 1, in.byte() % 8 ? day : int(in.byte() % 10) - 1);
            break;
        case 9:
            week.sort(day, int(in.byte() % 9));
            break;
        default: {
            // Saved, the week reads back as it is, or the save said no.
            const int announcedBefore = announced;
            if (!week.saveWeek(path, saved).isEmpty()) {
                check(announced == announcedBefore, "a refused save announces nothing");
                break;
            }
            check(announced == announcedBefore + 1, "a save announces itself once");
            const ScheduleFile::WeekRead read = ScheduleFile::readWeekForEditor(path);
            check(read.ok && read.days == week.tables(), "a saved week reads back as it is");
            // The console takes every row of every day the editor saved,
            // finding the day by the name of its header line.
            for (int d = 0; d < 7; ++d) {
                const ScheduleFile::DayRead console
                    = ScheduleFile::readDayOfWeekFile(path, Weekdays::fileName(d));
                check(console.ok && console.entries.size() == week.tables()[std::size_t(d)].size(),
                      "the console reads the whole of a saved day");
            }
            break;
        }
        }
        // Whatever changed a row is marked, so quitting asks.
        if (week.tables() != before)
            check(week.isModified(), "a change to a day marks the week modified");
    }
    return 0;
}

} // namespace Fuzz
