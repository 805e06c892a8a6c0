#include "webrigstate.h"

#include "console/mastervolume.h"
#include "console/programmemodel.h"
#include "zonelink/zonelink.h"

#include <QDirIterator>
#include <QFile>

WebRigState::WebRigState(ConsoleRig &rig)
{
    Console &console = rig.console();
    frames = rig.port.writes();
    frames.append("queued " + QByteArray::number(console.link().queuedFrames()));
    QDirIterator it(rig.dir.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            files.insert(QDir(rig.dir.path()).relativeFilePath(path), file.readAll());
    }
    for (int row = 0; row < console.programme().count(); ++row)
        rows.append(ProgrammeModel::iconKey(console.programme().state(row)));
    volume = console.volume().value();
    player = rig.player.calls;
}
