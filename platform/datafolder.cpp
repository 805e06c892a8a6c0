#include "platform/datafolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

DataFolderChoice chooseDataFolder(const DataFolderFacts &facts)
{
    const auto clean = [](const QString &path) {
        QString p = QDir::cleanPath(path);
        while (p.size() > 1 && p.endsWith(u'/'))
            p.chop(1);
        return p;
    };
    if (!facts.option.isEmpty()) {
        const QString path = QDir::isAbsolutePath(facts.option)
            ? facts.option
            : QDir(facts.workingFolder).filePath(facts.option);
        return {DataFolderChoice::Kind::Option, clean(path), {}};
    }
    if (facts.executableFolderHoldsData) {
        // The schedules and directories are there: an empty folder elsewhere
        // would leave the day silent. One this user cannot write is used all
        // the same, and the operator is told that nothing will be saved.
        DataFolderChoice choice {
            DataFolderChoice::Kind::Portable, clean(facts.executableFolder), {}};
        if (!facts.executableFolderWritable)
            choice.warning = QStringLiteral("数据文件夹 %1 不能写入：节目表、设置和运行日志的修改"
                                            "都无法保存。请让管理员给予写入权限。")
                                 .arg(choice.path);
        return choice;
    }
    // A relative XDG_DATA_HOME is invalid and is ignored.
    const QString base = QDir::isAbsolutePath(facts.xdgDataHome)
        ? facts.xdgDataHome
        : facts.home + QStringLiteral("/.local/share");
    return {DataFolderChoice::Kind::User, clean(base + QStringLiteral("/quellon")), {}};
}

DataFolderFacts dataFolderFacts(const QString &executableFolder, const QString &option)
{
    DataFolderFacts facts;
    facts.executableFolder = executableFolder;
    const QFileInfo folder(executableFolder);
    facts.executableFolderWritable = folder.isDir() && folder.isWritable();
    const QDir dir(executableFolder);
    // The mark, or any of the data files: a portable folder whose settings
    // were never written still has its directories and schedules.
    facts.executableFolderHoldsData = false;
    for (const char16_t *name : {u"portable", u"config.ini", u"node.txt", u"amp_name.dat",
                                 u"rem_list.txt", u"table", u"log"})
        facts.executableFolderHoldsData = facts.executableFolderHoldsData
            || QFileInfo::exists(dir.filePath(QString::fromUtf16(name)));
    facts.option = option;
    facts.workingFolder = QDir::currentPath();
    facts.xdgDataHome = qEnvironmentVariable("XDG_DATA_HOME");
    facts.home = QDir::homePath();
    return facts;
}

QString seedFolderFor(const QString &executableFolder)
{
    return QDir::cleanPath(executableFolder + QStringLiteral("/../../share/quellon/seed"));
}

QString prepareDataFolder(const QString &folder, const QString &seedFolder)
{
    if (QFileInfo(folder).isDir())
        return {};
    if (!QDir().mkpath(folder))
        return QStringLiteral("无法建立数据文件夹 %1").arg(folder);
    // The folders the windows open their file dialogs in.
    for (const char16_t *sub : {u"table/week", u"table/date", u"backimage", u"playlist", u"song"})
        QDir(folder).mkpath(QString::fromUtf16(sub));
    const QDir seed(seedFolder);
    if (seedFolder.isEmpty() || !seed.exists())
        return {};
    QStringList failed;
    QDirIterator it(seedFolder, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo from = it.nextFileInfo();
        if (from.isSymLink())
            continue;
        const QString to = folder + u'/' + seed.relativeFilePath(from.filePath());
        const bool ok = from.isDir()
            ? QDir().mkpath(to)
            : QDir().mkpath(QFileInfo(to).path()) && QFile::copy(from.filePath(), to);
        if (!ok)
            failed.append(seed.relativeFilePath(from.filePath()));
        else if (!from.isDir())
            // The package's files are read-only; the operator's copies are his to change.
            QFile::setPermissions(to, QFile::permissions(to) | QFile::WriteOwner);
    }
    if (!failed.isEmpty())
        return QStringLiteral("无法把初始文件复制到 %1：%2").arg(folder, failed.join(u'、'));
    return {};
}
