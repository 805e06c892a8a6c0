#include "players/playlistcd.h"

#include "players/playlistfile.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

using namespace Qt::StringLiterals;

PlaylistCd::~PlaylistCd() = default;

QString PlaylistCd::trackSource(const QString &path, bool playable, QString *why)
{
    const int track = cdTrackNumber(path);
    if (track < 1) {
        *why = u"文件名中没有CD音轨号"_s;
        return {};
    }
    if (!playable) {
        *why = u"没有可用的光驱或CD音频插件"_s;
        return {};
    }
    return u"cdda://%1"_s.arg(track);
}

bool SystemPlaylistCd::canPlayTracks() const
{
    return hasCdDrive() && hasCdPlugin();
}

bool SystemPlaylistCd::hasCdDrive()
{
    if (QFileInfo::exists(u"/dev/cdrom"_s))
        return true;
    return !QDir(u"/dev"_s).entryList({u"sr[0-9]*"_s}, QDir::System | QDir::Files).isEmpty();
}

bool SystemPlaylistCd::hasCdPlugin()
{
    // Either of GStreamer's CD sources (cdparanoia in the base plugins, cdio
    // in the ugly ones) answers cdda:// URLs.
    QStringList folders;
    for (const char *variable : {"GST_PLUGIN_PATH_1_0", "GST_PLUGIN_PATH",
                                 "GST_PLUGIN_SYSTEM_PATH_1_0", "GST_PLUGIN_SYSTEM_PATH"})
        folders += qEnvironmentVariable(variable).split(u':', Qt::SkipEmptyParts);
    const QDir lib(u"/usr/lib"_s);
    for (const QString &arch : lib.entryList({u"*-linux-gnu*"_s}, QDir::Dirs))
        folders << lib.filePath(arch + u"/gstreamer-1.0"_s);
    folders << u"/usr/lib/gstreamer-1.0"_s << u"/usr/lib64/gstreamer-1.0"_s
            << u"/usr/local/lib/gstreamer-1.0"_s;
    for (const QString &folder : std::as_const(folders)) {
        for (const auto name : {u"libgstcdparanoia.so", u"libgstcdio.so"}) {
            if (QFileInfo::exists(folder + u'/' + QString::fromUtf16(name)))
                return true;
        }
    }
    return false;
}
