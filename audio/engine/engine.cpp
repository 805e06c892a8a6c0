#include "audio/engine/engine.h"

#include "audio/engine/output.h"

#include <glib-unix.h>

#include <cerrno>
#include <cstdio>
#include <string_view>
#include <unistd.h>

namespace {
std::string uriOf(const std::string &text)
{
    // The console sends URIs; a plain absolute path is taken as a file.
    if (!text.empty() && text.front() == '/') {
        gchar *uri = gst_filename_to_uri(text.c_str(), nullptr);
        std::string out = uri ? uri : "";
        g_free(uri);
        return out;
    }
    return text;
}
} // namespace

Engine::Engine(Output &out, GMainLoop *loop)
    : m_out(out)
    , m_loop(loop)
    , m_player(out)
    , m_probe(out)
    , m_recorder(out)
{
    m_inputWatch = g_unix_fd_add(STDIN_FILENO, GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR),
                                 &Engine::input, this);
}

Engine::~Engine()
{
    if (m_inputWatch)
        g_source_remove(m_inputWatch);
}

gboolean Engine::input(gint, GIOCondition, gpointer self)
{
    auto *engine = static_cast<Engine *>(self);
    if (engine->readInput())
        return G_SOURCE_CONTINUE;
    engine->m_inputWatch = 0;
    g_main_loop_quit(engine->m_loop);
    return G_SOURCE_REMOVE;
}

bool Engine::readInput()
{
    char buffer[16384];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return true;
    if (n <= 0)
        return false; // the console is gone: so is its engine
    m_reader.append(std::string_view(buffer, std::size_t(n)));
    while (std::optional<std::string> line = m_reader.next()) {
        if (std::optional<audioproto::Message> message = audioproto::decode(*line))
            handle(*message);
        else
            m_out.send("bad", {*line});
    }
    return true;
}

void Engine::handle(const audioproto::Message &m)
{
    const std::int64_t job = m.number(0).value_or(-1);
    const std::string &v = m.verb;
    if (v == "ping") {
        m_out.send("pong", {m.arg(0)});
    } else if (v == "play" && job > 0 && m.args.size() == 5) {
        // play <job> <startMs> <volume> <window> <uri>
        m_player.play(job, uriOf(m.arg(4)), m.number(1).value_or(0), m.fraction(2).value_or(1.0),
                      guintptr(m.number(3).value_or(0)));
    } else if (v == "pause") {
        m_player.pause(job);
    } else if (v == "resume") {
        m_player.resume(job);
    } else if (v == "stop") {
        m_player.stop(job);
    } else if (v == "seek" && m.number(1)) {
        m_player.seek(job, *m.number(1));
    } else if (v == "volume" && m.fraction(0)) {
        m_player.setVolume(*m.fraction(0));
    } else if (v == "window" && m.number(0)) {
        m_player.setWindow(guintptr(*m.number(0)));
    } else if (v == "probe" && job > 0 && m.args.size() == 2) {
        m_probe.probe(job, uriOf(m.arg(1)));
    } else if (v == "unprobe") {
        m_probe.cancel(job);
    } else if (v == "record" && job > 0 && m.args.size() == 2) {
        m_recorder.record(job, m.arg(1));
    } else if (v == "recstop") {
        m_recorder.stop(job);
    } else if (v == "quit") {
        g_main_loop_quit(m_loop);
    } else {
        m_out.send("bad", {m.verb});
    }
}
