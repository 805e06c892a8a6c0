#include "audio/engine/playbinplayer.h"

#include "audio/engine/output.h"

#include <gst/video/videooverlay.h>

#include <algorithm>
#include <cstdio>

namespace {
// A sink that can draw into a window of the console's: Xv scales the
// picture to the window; plain X11 is the fallback when the server has no Xv.
GstElement *overlaySink()
{
    for (const char *name : {"xvimagesink", "ximagesink"}) {
        GstElement *sink = gst_element_factory_make(name, nullptr);
        if (!sink)
            continue;
        gst_object_ref_sink(sink);
        // Opening the display tells whether this sink works here at all.
        if (gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE) {
            gst_element_set_state(sink, GST_STATE_NULL);
            if (g_object_class_find_property(G_OBJECT_GET_CLASS(sink), "force-aspect-ratio"))
                g_object_set(sink, "force-aspect-ratio", TRUE, nullptr);
            return sink;
        }
        gst_element_set_state(sink, GST_STATE_NULL);
        gst_object_unref(sink);
    }
    return nullptr;
}

GstElement *silentVideoSink()
{
    // The picture is decoded at its pace and thrown away, so the stream
    // keeps its timing without a window.
    GstElement *sink = gst_element_factory_make("fakesink", nullptr);
    if (sink) {
        gst_object_ref_sink(sink);
        g_object_set(sink, "sync", TRUE, nullptr);
    }
    return sink;
}
} // namespace

PlaybinPlayer::PlaybinPlayer(Output &out)
    : m_out(out)
{
}

PlaybinPlayer::~PlaybinPlayer()
{
    dropBin();
}

bool PlaybinPlayer::makeBin(bool drawsPicture)
{
    m_bin = gst_element_factory_make("playbin", "player");
    if (!m_bin)
        return false;
    m_madeForWindow = drawsPicture;
    gst_object_ref_sink(m_bin);
    // The bin keeps time by the machine's monotonic clock, not by the time
    // the sound server reports for our stream. That report can jump to a
    // far-off value when a pause is followed at once by a resume, and then
    // stands still; every sink waiting on it (for its next picture, or for
    // the last sound to be heard before the end) then waited for ever and
    // the end of the file never came. The sound output follows this clock.
    GstClock *clock = gst_system_clock_obtain();
    gst_pipeline_use_clock(GST_PIPELINE(m_bin), clock);
    gst_object_unref(clock);
    GstElement *video = drawsPicture ? overlaySink() : nullptr;
    m_drawsPicture = video != nullptr;
    if (!video)
        video = silentVideoSink();
    if (video) {
        g_object_set(m_bin, "video-sink", video, nullptr); // the bin takes its own reference
        m_videoSink = video;
        gst_object_unref(video);
    }
    if (GstElement *audio = gst_element_factory_make("autoaudiosink", nullptr))
        g_object_set(m_bin, "audio-sink", audio, nullptr);
    GstBus *bus = gst_element_get_bus(m_bin);
    m_watch = gst_bus_add_watch(bus, &PlaybinPlayer::busMessage, this);
    gst_object_unref(bus);
    return true;
}

void PlaybinPlayer::dropBin()
{
    stopTimer();
    if (!m_bin)
        return;
    if (m_watch)
        g_source_remove(m_watch);
    m_watch = 0;
    gst_element_set_state(m_bin, GST_STATE_NULL);
    gst_object_unref(m_bin);
    m_bin = nullptr;
    m_videoSink = nullptr;
    m_drawsPicture = false;
}

void PlaybinPlayer::play(std::int64_t job, const std::string &uri, std::int64_t startMs,
                         double volume, guintptr window)
{
    m_window = window;
    m_volume = std::clamp(volume, 0.0, 1.0);
    const bool wantsPicture = window != 0;
    // A sink is chosen with the bin: the kind of output changes only between
    // files. (A bin made for a window may have had to do without one, where
    // the display cannot be reached; it is not made again for each file.)
    if (m_bin && wantsPicture != m_madeForWindow)
        dropBin();
    if (m_bin) {
        stopTimer();
        gst_element_set_state(m_bin, GST_STATE_NULL); // also flushes the bus of the last file
    } else if (!makeBin(wantsPicture)) {
        m_job = job;
        m_jobText = numberText(job);
        end("error", "GStreamer has no playbin");
        return;
    }
    if (m_job != 0 && m_job != job)
        stateReported("stopped"); // the file before is done with
    m_job = job;
    m_jobText = numberText(job);
    m_want = Want::Playing;
    m_pendingSeekMs = startMs > 0 ? startMs : -1;
    m_videoTold = false;
    m_stateTold = nullptr;
    g_object_set(m_bin, "uri", uri.c_str(), "volume", m_volume, nullptr);
    if (m_drawsPicture && m_videoSink)
        gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(m_videoSink), m_window);
    // A start within the file prerolls first and seeks there; a start at the
    // beginning goes straight to playing, the quickest way to sound.
    const GstState target = m_pendingSeekMs >= 0 ? GST_STATE_PAUSED : GST_STATE_PLAYING;
    if (gst_element_set_state(m_bin, target) == GST_STATE_CHANGE_FAILURE) {
        end("error", busError(m_bin, "the file cannot be played"));
        dropBin();
    }
}

void PlaybinPlayer::pause(std::int64_t job)
{
    if (job != m_job || !m_bin || m_want == Want::Stopped)
        return;
    m_want = Want::Paused;
    stopTimer();
    gst_element_set_state(m_bin, GST_STATE_PAUSED);
}

void PlaybinPlayer::resume(std::int64_t job)
{
    if (job != m_job || !m_bin || m_want == Want::Stopped)
        return;
    m_want = Want::Playing;
    if (m_pendingSeekMs < 0)
        gst_element_set_state(m_bin, GST_STATE_PLAYING);
}

void PlaybinPlayer::stop(std::int64_t job)
{
    if (job != m_job || m_job == 0)
        return;
    stopTimer();
    if (m_bin)
        gst_element_set_state(m_bin, GST_STATE_NULL);
    m_want = Want::Stopped;
    stateReported("stopped");
    m_job = 0;
}

void PlaybinPlayer::seek(std::int64_t job, std::int64_t ms)
{
    if (job != m_job || !m_bin || m_want == Want::Stopped)
        return;
    if (m_pendingSeekMs >= 0) {
        m_pendingSeekMs = std::max<std::int64_t>(ms, 0);
        return;
    }
    gst_element_seek_simple(m_bin, GST_FORMAT_TIME,
                            GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                            std::max<std::int64_t>(ms, 0) * GST_MSECOND);
}

void PlaybinPlayer::setVolume(double volume)
{
    m_volume = std::clamp(volume, 0.0, 1.0);
    if (m_bin)
        g_object_set(m_bin, "volume", m_volume, nullptr);
}

void PlaybinPlayer::setWindow(guintptr window)
{
    m_window = window;
    // The picture moves at once when a window sink is drawing; a bin without
    // one takes the window with its next file.
    if (m_bin && m_drawsPicture && m_videoSink && window != 0) {
        gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(m_videoSink), window);
        gst_video_overlay_expose(GST_VIDEO_OVERLAY(m_videoSink));
    }
}

gboolean PlaybinPlayer::busMessage(GstBus *, GstMessage *message, gpointer self)
{
    static_cast<PlaybinPlayer *>(self)->handle(message);
    return G_SOURCE_CONTINUE;
}

gboolean PlaybinPlayer::positionTick(gpointer self)
{
    static_cast<PlaybinPlayer *>(self)->reportPosition();
    return G_SOURCE_CONTINUE;
}

void PlaybinPlayer::startTimer()
{
    if (!m_timer)
        m_timer = g_timeout_add(kPositionIntervalMs, &PlaybinPlayer::positionTick, this);
}

void PlaybinPlayer::stopTimer()
{
    if (m_timer)
        g_source_remove(m_timer);
    m_timer = 0;
}

void PlaybinPlayer::stateReported(const char *state)
{
    if (m_stateTold == state)
        return;
    m_stateTold = state;
    m_out.send("state", {m_jobText, state});
}

void PlaybinPlayer::reportPosition()
{
    if (!m_bin || m_job == 0)
        return;
    gint64 position = -1;
    gint64 duration = -1;
    if (!gst_element_query_position(m_bin, GST_FORMAT_TIME, &position))
        position = -1;
    if (!gst_element_query_duration(m_bin, GST_FORMAT_TIME, &duration))
        duration = -1;
    const long long pos = position < 0 ? -1 : position / GST_MSECOND;
    const long long dur = duration < 0 ? -1 : duration / GST_MSECOND;
    m_out.send("position",
               {m_jobText, numberText(pos), numberText(dur), numberText(framesShown())});
}

long long PlaybinPlayer::framesShown() const
{
    // The sink counts the pictures it has drawn (or, without a window, taken).
    if (!m_videoSink || !g_object_class_find_property(G_OBJECT_GET_CLASS(m_videoSink), "stats"))
        return -1;
    GstStructure *stats = nullptr;
    g_object_get(m_videoSink, "stats", &stats, nullptr);
    guint64 rendered = 0;
    const bool known = stats && gst_structure_get_uint64(stats, "rendered", &rendered);
    if (stats)
        gst_structure_free(stats);
    return known ? static_cast<long long>(rendered) : -1;
}

void PlaybinPlayer::end(const char *verb, const std::string &text)
{
    stopTimer();
    const std::string job = m_jobText;
    if (text.empty())
        m_out.send(verb, {job});
    else
        m_out.send(verb, {job, text});
    m_want = Want::Stopped;
    stateReported("stopped");
    m_job = 0;
}

void PlaybinPlayer::asyncDone()
{
    if (m_pendingSeekMs >= 0) {
        const std::int64_t ms = m_pendingSeekMs;
        m_pendingSeekMs = -1;
        // Another async-done follows once the stream stands at the new place.
        if (gst_element_seek_simple(m_bin, GST_FORMAT_TIME,
                                    GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                    ms * GST_MSECOND))
            return;
    }
    if (!m_videoTold) {
        gint videos = 0;
        g_object_get(m_bin, "n-video", &videos, nullptr);
        m_videoTold = true;
        m_out.send("video", {m_jobText, videos > 0 ? "1" : "0"});
    }
    reportPosition();
    if (m_want == Want::Playing)
        gst_element_set_state(m_bin, GST_STATE_PLAYING);
}

void PlaybinPlayer::handle(GstMessage *message)
{
    if (m_job == 0)
        return; // what a stopped file still had to say
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS:
        reportPosition();
        gst_element_set_state(m_bin, GST_STATE_NULL);
        end("eos", std::string());
        break;
    case GST_MESSAGE_ERROR: {
        GError *error = nullptr;
        gchar *debug = nullptr;
        gst_message_parse_error(message, &error, &debug);
        const std::string text = error && error->message ? error->message : "playback error";
        std::fprintf(stderr, "quellon-audio: playback error: %s (%s)\n", text.c_str(),
                     debug ? debug : "");
        g_clear_error(&error);
        g_free(debug);
        end("error", text);
        // A bin that met an error is not trusted with the next file.
        dropBin();
        break;
    }
    case GST_MESSAGE_ASYNC_DONE:
        if (GST_MESSAGE_SRC(message) == GST_OBJECT(m_bin))
            asyncDone();
        break;
    case GST_MESSAGE_DURATION_CHANGED:
        reportPosition();
        break;
    case GST_MESSAGE_STATE_CHANGED: {
        if (GST_MESSAGE_SRC(message) != GST_OBJECT(m_bin))
            break;
        GstState now = GST_STATE_NULL;
        gst_message_parse_state_changed(message, nullptr, &now, nullptr);
        if (now == GST_STATE_PLAYING && m_want == Want::Playing) {
            stateReported("playing");
            startTimer();
            reportPosition();
        } else if (now == GST_STATE_PAUSED && m_want == Want::Paused) {
            stateReported("paused");
            reportPosition();
        }
        break;
    }
    default:
        break;
    }
}
