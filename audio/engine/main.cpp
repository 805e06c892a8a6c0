// quellon-audio: the console's audio engine. It plays, measures and records
// sound for one console object, in a process of its own, so that nothing the
// media libraries do can hold the console. The console starts it, talks to
// it over its standard input and output (audio/protocol.h) and replaces it
// when it stops answering.

#include "audio/engine/engine.h"
#include "audio/engine/output.h"

#include <gst/gst.h>

#include <csignal>
#include <string>
#include <sys/prctl.h>
#include <unistd.h>

int main(int argc, char *argv[])
{
    // An engine never outlives its console, however the console ends.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() == 1)
        return 0;
    std::signal(SIGPIPE, SIG_IGN);
    gst_init(&argc, &argv);

    GMainLoop *loop = g_main_loop_new(nullptr, FALSE);
    Output out;
    {
        Engine engine(out, loop);
        out.send("ready", {std::to_string(audioproto::kVersion), std::to_string(::getpid())});
        g_main_loop_run(loop);
    }
    g_main_loop_unref(loop);
    return 0;
}
