#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <string>

class Output;

// Records the default sound input into a PCM WAV file: the sound server's
// source, converted to 16-bit stereo at 44.1 kHz, measured by a level
// element and written by wavenc. Messages: "recording <id>" once sound
// arrives, "level <id> <ms> <dB>" five times a second, then "recorded <id>
// <ms>" once the file is closed, or "recfail <id> <reason>".
class WavRecorder
{
public:
    explicit WavRecorder(Output &out);
    ~WavRecorder();
    WavRecorder(const WavRecorder &) = delete;
    WavRecorder &operator=(const WavRecorder &) = delete;

    void record(std::int64_t id, const std::string &path);
    // Closes the file: the end of the stream runs through wavenc, which
    // writes the header's lengths, before the file is said to be done.
    void stop(std::int64_t id);

    static constexpr unsigned kLevelIntervalMs = 200;
    static constexpr unsigned kCloseLimitMs = 5000;

private:
    static gboolean busMessage(GstBus *bus, GstMessage *message, gpointer self);
    static gboolean levelTick(gpointer self);
    static gboolean closeTimedOut(gpointer self);
    void handle(GstMessage *message);
    void finish(bool complete, const std::string &reason);
    void dropPipeline();
    long long recordedMs() const;

    Output &m_out;
    GstElement *m_pipeline = nullptr;
    guint m_watch = 0;
    guint m_timer = 0;
    guint m_closeLimit = 0;
    std::int64_t m_id = 0;
    std::string m_idText;
    bool m_soundTold = false;
    bool m_closing = false;
    double m_level = -100.0;
};
