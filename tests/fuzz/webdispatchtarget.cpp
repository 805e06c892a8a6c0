// Fuzz target for the office page's commands from the body to the console:
// a sequence of bodies, each parsed as a command and, when accepted, carried
// out on a running console (on fakes). Whatever the sequence, a refusal is
// 404 or 409 and leaves the list, the volume and the as-run log alone; a
// cancel only takes a waiting row out, a restore only puts a cancelled one
// back; the volume stays in its range; each command carried out leaves one
// line of the office's origin in the as-run log.
//
// The input's first byte chooses the Content-Type of all its bodies; the
// rest is split into bodies at line breaks.

#include "fuzzinput.h"
#include "fuzztargets.h"
#include "webfuzzrig.h"

#include "console/consolestate.h"
#include "console/emergencybroadcast.h"
#include "console/mastervolume.h"
#include "console/playbackengine.h"
#include "console/programmemodel.h"
#include "web/webcommands.h"
#include "web/webrequestlimits.h"

#include <algorithm>

using namespace WebRequestLimits;

namespace Fuzz {
namespace {

// Bodies of one input are separated by this byte; a line each keeps the
// seeds readable.
constexpr char kSeparator = '\n';
// A bound on the commands of one input, so that an input's time stays short.
constexpr int kMaxBodies = 64;

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

void checkCommand(WebFuzzRig &rig, WebCommands &commands, const Command &command)
{
    Console &console = rig.console();
    const ProgrammeModel &model = console.programme();
    const MasterVolume &volume = console.volume();
    const QList<RowState> before = rig.states();
    const int volumeBefore = volume.value();
    const int linesBefore = rig.officeLines();
    const bool emergencyBefore = console.emergency().active();
    const int row = needsRow(command.action) ? command.row - 1 : -1;
    const bool known = row < model.count();

    const std::optional<Refusal> refused = commands.run(command);
    const QList<RowState> after = rig.states();

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
        check(rig.officeLines() == linesBefore, "a refusal writes nothing to the as-run log");
        if (refused->status == 409 && emergencyBefore) {
            check(command.action != Action::EmergencyEnd,
                  "during an emergency only its end is taken");
        } else if (refused->status == 409 && command.action == Action::EmergencyEnd) {
            // Nothing to end.
        } else if (refused->status == 409) {
            // The console is not ending here: only a row's state refuses.
            const RowState allowed
                = command.action == Action::Cancel ? RowState::Waiting : RowState::Cancelled;
            check((command.action == Action::Cancel || command.action == Action::Restore)
                      && before.at(row) != allowed,
                  "409 only for a cancel or restore the row's state does not allow");
        }
        return;
    }
    check(known, "a row past the list is never acted on");
    check(rig.officeLines() == linesBefore + 1, "a command carried out is logged once");
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
    case Action::EmergencyStart:
        check(!emergencyBefore && console.emergency().active(), "an emergency starts");
        break;
    case Action::EmergencyEnd:
        check(emergencyBefore && !console.emergency().active(), "the emergency ends");
        break;
    }
}

} // namespace

int webDispatch(const std::uint8_t *data, std::size_t size)
{
    WebFuzzRig &rig = WebFuzzRig::instance();
    static WebCommands commands(rig.console());
    rig.reset();

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
        checkCommand(rig, commands, *command.value);
    }
    return 0;
}

} // namespace Fuzz
