#pragma once

#include "audio/engine/discovererprobe.h"
#include "audio/engine/playbinplayer.h"
#include "audio/engine/wavrecorder.h"
#include "audio/protocol.h"

#include <glib.h>

class Output;

// The engine's dispatch: reads the console's messages from standard input
// on the main loop and hands each to the player, the probe or the recorder.
class Engine
{
public:
    Engine(Output &out, GMainLoop *loop);
    ~Engine();
    Engine(const Engine &) = delete;
    Engine &operator=(const Engine &) = delete;

    void handle(const audioproto::Message &message);

private:
    static gboolean input(gint fd, GIOCondition condition, gpointer self);
    bool readInput();

    Output &m_out;
    GMainLoop *m_loop;
    audioproto::LineReader m_reader;
    guint m_inputWatch = 0;
    PlaybinPlayer m_player;
    DiscovererProbe m_probe;
    WavRecorder m_recorder;
};
