// Fuzz target for the office page's commands from the body to the console:
// a sequence of bodies, each parsed as a command and, when accepted, carried
// out on a running console (on fakes). Whatever the sequence, a refusal is
// 404 or 409 and leaves the list, the volume and the as-run log alone; a
// cancel only takes a waiting row out, a restore only puts a cancelled one
// back; the volume stays in its range; each command carried out leaves one
// line of the office's origin in the as-run log.

#include "fuzzinput.h"
#include "fuzztargets.h"

#include "console/consolestate.h"
#include "console/mastervolume.h"
#include "console/playbackengine.h"
#include "console/programmemodel.h"
#include "consolerig.h"
#include "platform/asrunlog.h"
#include "web/webcommands.h"
#include "web/webrequestlimits.h"

#include <QFile>

#include <algorithm>

using namespace WebRequestLimits;

namespace Fuzz {
namespace {

// Bodies of one input are separated by this byte; a line each keeps the
// seeds readable.
constexpr char kSeparator = '\n';
// A bound on the commands of one input, so that an input's time stays short.
constexpr int kMaxBodies = 64;

// One console for every input: building it reads files and costs far more
// than the commands. reset() brings it back to the same state before each.
class Dispatch
{
public:
    Dispatch()
    {
        // A short day with volumes at both ends of the range; the port has
        // no device, so frames are dropped at once instead of piling up in
        // a queue no event loop would ever send.
        rig.port.devices.clear();
        rig.writeWeek(
            ConsoleRig::line(QStringLiteral("07:30:00"), QStringLiteral("起床"), {}, 0)
            + ConsoleRig::line(QStringLiteral("08:00:00"), QStringLiteral("上课"))
            + ConsoleRig::line(QStringLiteral("12:00:00"), QStringLiteral("午间"), {}, 32767)
            + ConsoleRig::line(QStringLiteral("16:30:00"), QStringLiteral("放学"), {}, 5000));
        Console &console = rig.start();
        check(console.programme().count() == 4, "the day's list is loaded");
        QObject::connect(&console.asRunLog(), &AsRunLog::recorded,
                         [this](const QDateTime &, const QString &kind, const QString &) {
                             if (kind == WebCommands::origin())
                                 ++officeLines;
                         });
    }

    void reset()
    {
        Console &console = rig.console();
        ProgrammeModel &model = console.programme();
        for (int row = 0; row < model.count(); ++row) {
            if (model.state(row) != RowState::Waiting)
                model.setState(row, RowState::Waiting);
        }
        console.playback().stopByHand();
        console.state().setManualMode(false);
        console.volume().setValue(16000);
        // What the fakes and the log keep would otherwise grow with every
        // input of a long run.
        rig.port.events.clear();
        rig.player.calls.clear();
        rig.mixer.speakerSet.clear();
        rig.dialogs.shown.clear();
        QFile::resize(console.asRunLog().fileFor(console.clock().now().date()), 0);
        officeLines = 0;
    }

    ConsoleRig rig;
    int officeLines = 0;
};

QList<RowState> statesOf(const ProgrammeModel &model)
{
    QList<RowState> states;
    for (int row = 0; row < model.count(); ++row)
        states.append(model.state(row));
    return states;
}

// The rows other than row (0-based; -1 for none) are as they were.
bool othersUnchanged(const QList<RowState> &before, const QList<RowState> &after, int row)
{
    if (before.size() != after.size())
        return false;
    for (qsizetype r = 0; r < before.size(); ++r) {
        if (r != row && before.at(r) != after.at(r))
            return false;
    }
    return true;
}

void checkCommand(Dispatch &dispatch, WebCommands &commands, const Command &command)
{
    Console &console = dispatch.rig.console();
    const ProgrammeModel &model = console.programme();
    const MasterVolume &volume = console.volume();
    const QList<RowState> before = statesOf(model);
    const int volumeBefore = volume.value();
    const int linesBefore = dispatch.officeLines;
    const int row = needsRow(command.action) ? command.row - 1 : -1;
    const bool known = row < model.count();

    const std::optional<Refusal> refused = commands.run(command);
    const QList<RowState> after = statesOf(model);

    check(volume.minimum() <= volume.value() && volume.value() <= volume.maximum(),
          "the volume stays in its range");
    if (refused) {
        check((refused->status == 404 && refused->code == u"unknown_row")
                  || (refused->status == 409 && refused->code == u"not_possible"),
              "a parsed command is refused only with 404 unknown_row or 409 not_possible");
        check(!refused->message.isEmpty(), "a refusal says why");
        check((refused->status == 404) == !known, "404 exactly for a row past the list");
        check(after == before, "a refusal changes no row");
        check(volume.value() == volumeBefore, "a refusal leaves the volume");
        check(dispatch.officeLines == linesBefore, "a refusal writes nothing to the as-run log");
        return;
    }
    check(known, "a row past the list is never acted on");
    check(dispatch.officeLines == linesBefore + 1, "a command carried out is logged once");
    switch (command.action) {
    case Action::Cancel:
        check(before.at(row) == RowState::Waiting && after.at(row) == RowState::Cancelled,
              "cancel only takes a waiting row out");
        check(othersUnchanged(before, after, row), "cancel touches only its row");
        break;
    case Action::Restore:
        check(before.at(row) == RowState::Cancelled && after.at(row) == RowState::Waiting,
              "restore only puts a cancelled row back");
        check(othersUnchanged(before, after, row), "restore touches only its row");
        break;
    case Action::VolumeUp:
        check(volume.value() >= volumeBefore, "volume up never lowers it");
        check(volume.value() > volumeBefore || volumeBefore == volume.maximum(),
              "volume up raises it below the top");
        check(after == before, "volume up changes no row");
        break;
    case Action::VolumeDown:
        check(volume.value() <= volumeBefore, "volume down never raises it");
        check(volume.value() < volumeBefore || volumeBefore == volume.minimum(),
              "volume down lowers it above the bottom");
        check(after == before, "volume down changes no row");
        break;
    case Action::Play: {
        const int wanted = model.entry(row).volume;
        check(volume.value() == std::clamp(wanted, volume.minimum(), volume.maximum()),
              "playing a row takes its volume");
        check(after == before, "playing by hand changes no row");
        break;
    }
    case Action::Stop:
        check(!console.state().ManualMode(), "stop leaves manual mode");
        check(!console.playback().isPlaying(), "stop leaves nothing playing");
        check(after == before, "stop changes no row");
        break;
    case Action::AllOn:
    case Action::AllOff:
        check(after == before, "the remote keys' all on and all off change no row");
        break;
    }
}

} // namespace

int webDispatch(const std::uint8_t *data, std::size_t size)
{
    needApplication();
    static Dispatch *dispatch = new Dispatch; // lives to the end of the process
    static WebCommands commands(dispatch->rig.console());
    dispatch->reset();

    Input in(data, size);
    static const QByteArray types[]
        = {"application/json", "application/json; charset=utf-8", "text/plain", ""};
    const QByteArray type = types[in.byte() % std::size(types)];
    const QByteArray rest = size > 1
        ? QByteArray(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1))
        : QByteArray();
    const QList<QByteArray> bodies = rest.split(kSeparator);
    for (qsizetype i = 0; i < bodies.size() && i < kMaxBodies; ++i) {
        const Parsed<Command> command = parseCommand(type, bodies.at(i));
        if (!command) {
            check(command.refusal.status >= 400 && command.refusal.status < 500,
                  "a body refused is a 4xx");
            continue;
        }
        checkCommand(*dispatch, commands, *command.value);
    }
    return 0;
}

} // namespace Fuzz
