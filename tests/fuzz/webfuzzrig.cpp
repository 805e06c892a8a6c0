#include "webfuzzrig.h"

#include "fuzzinput.h"
#include "fuzztargets.h"

#include "console/consolestate.h"
#include "console/emergencybroadcast.h"
#include "console/mastervolume.h"
#include "console/playbackengine.h"
#include "platform/asrunlog.h"
#include "web/webcommands.h"

#include <QFile>

namespace Fuzz {

WebFuzzRig &WebFuzzRig::instance()
{
    needApplication();
    // Lives to the end of the process: its timers and files must not be
    // torn down while libFuzzer still runs inputs.
    static WebFuzzRig *rig = new WebFuzzRig;
    return *rig;
}

WebFuzzRig::WebFuzzRig()
{
    // The port has no device: frames are dropped at once instead of piling
    // up in a queue that no event loop would ever send.
    rig.port.devices.clear();
    rig.writeWeek(ConsoleRig::line(QStringLiteral("07:30:00"), QStringLiteral("起床"), {}, 0)
                  + ConsoleRig::line(QStringLiteral("08:00:00"), QStringLiteral("上课"))
                  + ConsoleRig::line(QStringLiteral("12:00:00"), QStringLiteral("午间"), {}, 32767)
                  + ConsoleRig::line(QStringLiteral("16:30:00"), QStringLiteral("放学"), {}, 5000));
    Console &started = rig.start();
    check(started.programme().count() == 4, "the day's list is loaded");
    QObject::connect(&started.asRunLog(), &AsRunLog::recorded,
                     [this](const QDateTime &, const QString &kind, const QString &) {
                         if (kind == WebCommands::origin())
                             ++m_officeLines;
                     });
}

void WebFuzzRig::reset()
{
    Console &c = console();
    if (c.emergency().active())
        c.emergency().end();
    ProgrammeModel &model = c.programme();
    for (int row = 0; row < model.count(); ++row) {
        if (model.state(row) != RowState::Waiting)
            model.setState(row, RowState::Waiting);
    }
    c.playback().stopByHand();
    c.state().setManualMode(false);
    c.volume().setValue(16000);
    // What the fakes and the log keep would otherwise grow with every input
    // of a long run.
    rig.port.events.clear();
    rig.player.calls.clear();
    rig.mixer.speakerSet.clear();
    rig.dialogs.shown.clear();
    QFile::resize(c.asRunLog().fileFor(c.clock().now().date()), 0);
    m_officeLines = 0;
}

QList<RowState> WebFuzzRig::states()
{
    const ProgrammeModel &model = console().programme();
    QList<RowState> states;
    for (int row = 0; row < model.count(); ++row)
        states.append(model.state(row));
    return states;
}

} // namespace Fuzz
