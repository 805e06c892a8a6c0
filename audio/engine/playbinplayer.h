#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <string>

class Output;

// One playbin that plays one file at a time. Every request names the job it
// is for (a number the console chooses); answers carry it back, so the
// console can tell an answer about an earlier file from one about the file
// it plays now. Requests for a job that is no longer current are ignored.
//
// State changes are asked for asynchronously; what happened is learned
// from the bus, on the main loop. Nothing here waits for a streaming
// thread, and no streaming thread waits for the main loop.
class PlaybinPlayer
{
public:
    explicit PlaybinPlayer(Output &out);
    ~PlaybinPlayer();
    PlaybinPlayer(const PlaybinPlayer &) = delete;
    PlaybinPlayer &operator=(const PlaybinPlayer &) = delete;

    // Starts the file at uri from startMs; whatever played before stops.
    void play(std::int64_t job, const std::string &uri, std::int64_t startMs, double volume,
              guintptr window);
    void pause(std::int64_t job);
    void resume(std::int64_t job);
    void stop(std::int64_t job);
    void seek(std::int64_t job, std::int64_t ms);
    void setVolume(double volume);
    // The native window the picture is drawn into; 0 draws no picture.
    void setWindow(guintptr window);

    static constexpr unsigned kPositionIntervalMs = 200;

private:
    enum class Want { Stopped, Playing, Paused };

    static gboolean busMessage(GstBus *bus, GstMessage *message, gpointer self);
    static gboolean positionTick(gpointer self);
    void handle(GstMessage *message);
    void asyncDone();
    void reportPosition();
    void startTimer();
    void stopTimer();
    bool makeBin(bool drawsPicture);
    void dropBin();
    void end(const char *verb, const std::string &text);
    void stateReported(const char *state);
    long long framesShown() const;

    Output &m_out;
    GstElement *m_bin = nullptr;
    GstElement *m_videoSink = nullptr; // held by m_bin; an overlay when m_drawsPicture
    bool m_drawsPicture = false;
    bool m_madeForWindow = false;
    guint m_watch = 0;
    guint m_timer = 0;
    std::int64_t m_job = 0; // 0: nothing loaded
    std::string m_jobText;
    Want m_want = Want::Stopped;
    std::int64_t m_pendingSeekMs = -1;
    bool m_videoTold = false;
    const char *m_stateTold = nullptr;
    guintptr m_window = 0;
    double m_volume = 1.0;
};
