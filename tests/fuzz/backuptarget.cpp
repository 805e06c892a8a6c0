// The restore's reading of a backup archive, which may come from anywhere:
// whatever the bytes, it ends, and what it accepts lands inside the data
// folder (or is the settings store), under a name the backup could write.
// The input is the tar stream; it is compressed here, so that the fuzzer
// works on the tar headers rather than on deflate's.

#include "fuzztargets.h"

#include "console/databackup.h"
#include "platform/targz.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace Fuzz {

int backupArchive(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir dir;
    check(dir.isValid(), "scratch folder");
    const QByteArray tar(reinterpret_cast<const char *>(data), qsizetype(size));
    // qCompress gives a 4-byte length and then a zlib stream, which the
    // reader takes as it takes gzip.
    const QString archive = dir.filePath(QStringLiteral("in.tgz"));
    {
        QFile file(archive);
        check(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "archive written");
        file.write(qCompress(tar).mid(4));
    }
    const DataBackup::Places places {dir.filePath(QStringLiteral("data")),
                                     dir.filePath(QStringLiteral("store.conf"))};
    DataBackup::Progress progress;
    const DataBackup::Plan plan
        = DataBackup::inspect(places, archive, QDate(2026, 12, 7), progress);
    check(plan.error.isEmpty() || plan.files.isEmpty(), "a refused archive lists nothing");
    check(!plan.error.isEmpty() || !plan.files.isEmpty(), "an accepted archive brings a file");
    for (const DataBackup::PlannedFile &f : plan.files) {
        DataBackup::Target target;
        check(DataBackup::checkName(places, f.name, false, target).isEmpty(),
              "a listed name passes the check");
        const QString path = QDir::cleanPath(target.path);
        check(path == places.storeFile || path.startsWith(places.dataFolder + u'/'),
              "a listed file lands inside the data folder");
        check(!f.name.split(u'/').contains(QStringLiteral("..")), "no .. in a listed name");
        check(f.size >= 0 && f.size <= (qint64(256) << 20), "sizes within the limit");
    }
    return 0;
}

} // namespace Fuzz
