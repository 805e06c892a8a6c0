#include "audio/engine/wavrecorder.h"

#include "audio/engine/output.h"

#include <cmath>
#include <cstdio>

namespace {
GstElement *make(const char *factory, const char *name)
{
    return gst_element_factory_make(factory, name);
}

std::string decibelText(double db)
{
    if (!std::isfinite(db) || db < -100)
        db = -100;
    const long long tenths = std::llround(db * 10);
    const long long whole = tenths / 10;
    const long long rest = std::llabs(tenths % 10);
    std::string text = (tenths < 0 && whole == 0) ? "-0" : numberText(whole);
    return text + "." + numberText(rest);
}
} // namespace

WavRecorder::WavRecorder(Output &out)
    : m_out(out)
{
}

WavRecorder::~WavRecorder()
{
    dropPipeline();
}

void WavRecorder::dropPipeline()
{
    if (m_timer)
        g_source_remove(m_timer);
    if (m_closeLimit)
        g_source_remove(m_closeLimit);
    m_timer = m_closeLimit = 0;
    if (!m_pipeline)
        return;
    if (m_watch)
        g_source_remove(m_watch);
    m_watch = 0;
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    gst_object_unref(m_pipeline);
    m_pipeline = nullptr;
}

void WavRecorder::record(std::int64_t id, const std::string &path)
{
    if (m_pipeline) {
        // The console has given up on the take before: it goes.
        const std::string old = m_idText;
        dropPipeline();
        m_out.send("recfail", {old, "replaced by the next recording"});
    }
    m_id = id;
    m_idText = numberText(id);
    m_soundTold = false;
    m_closing = false;
    m_level = -100.0;

    GstElement *source = make("pulsesrc", "source");
    if (!source)
        source = make("autoaudiosrc", "source");
    GstElement *convert = make("audioconvert", nullptr);
    GstElement *resample = make("audioresample", nullptr);
    GstElement *caps = make("capsfilter", nullptr);
    GstElement *level = make("level", "level");
    GstElement *encoder = make("wavenc", nullptr);
    GstElement *sink = make("filesink", nullptr);
    m_pipeline = gst_pipeline_new("recorder");
    gst_object_ref_sink(m_pipeline);
    GstElement *parts[] = {source, convert, resample, caps, level, encoder, sink};
    for (GstElement *part : parts) {
        if (!part) {
            for (GstElement *other : parts) {
                if (other)
                    gst_object_unref(gst_object_ref_sink(other));
            }
            gst_object_unref(m_pipeline);
            m_pipeline = nullptr;
            m_out.send("recfail", {m_idText, "GStreamer lacks a recording element"});
            return;
        }
    }
    GstCaps *format = gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "rate",
                                          G_TYPE_INT, 44100, "channels", G_TYPE_INT, 2, nullptr);
    g_object_set(caps, "caps", format, nullptr);
    gst_caps_unref(format);
    g_object_set(level, "interval", guint64(100) * GST_MSECOND, "post-messages", TRUE, nullptr);
    g_object_set(sink, "location", path.c_str(), nullptr);
    gst_bin_add_many(GST_BIN(m_pipeline), source, convert, resample, caps, level, encoder, sink,
                     nullptr);
    if (!gst_element_link_many(source, convert, resample, caps, level, encoder, sink, nullptr)) {
        dropPipeline();
        m_out.send("recfail", {m_idText, "the recording elements do not fit together"});
        return;
    }
    GstBus *bus = gst_element_get_bus(m_pipeline);
    m_watch = gst_bus_add_watch(bus, &WavRecorder::busMessage, this);
    gst_object_unref(bus);
    if (gst_element_set_state(m_pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        // The element that refused has said why on the bus.
        finish(false, busError(m_pipeline, "the sound input or the file cannot be opened"));
        return;
    }
    m_timer = g_timeout_add(kLevelIntervalMs, &WavRecorder::levelTick, this);
}

void WavRecorder::stop(std::int64_t id)
{
    if (!m_pipeline || id != m_id || m_closing)
        return;
    m_closing = true;
    gst_element_send_event(m_pipeline, gst_event_new_eos());
    m_closeLimit = g_timeout_add(kCloseLimitMs, &WavRecorder::closeTimedOut, this);
}

long long WavRecorder::recordedMs() const
{
    gint64 position = 0;
    if (!m_pipeline || !gst_element_query_position(m_pipeline, GST_FORMAT_TIME, &position)
        || position < 0)
        return 0;
    return position / GST_MSECOND;
}

gboolean WavRecorder::busMessage(GstBus *, GstMessage *message, gpointer self)
{
    static_cast<WavRecorder *>(self)->handle(message);
    return G_SOURCE_CONTINUE;
}

gboolean WavRecorder::levelTick(gpointer self)
{
    auto *r = static_cast<WavRecorder *>(self);
    if (r->m_soundTold)
        r->m_out.send("level", {r->m_idText, numberText(r->recordedMs()), decibelText(r->m_level)});
    return G_SOURCE_CONTINUE;
}

gboolean WavRecorder::closeTimedOut(gpointer self)
{
    auto *r = static_cast<WavRecorder *>(self);
    r->m_closeLimit = 0;
    r->finish(false, "the recording was not closed in time");
    return G_SOURCE_REMOVE;
}

void WavRecorder::handle(GstMessage *message)
{
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ELEMENT: {
        const GstStructure *s = gst_message_get_structure(message);
        if (!s || !gst_structure_has_name(s, "level"))
            break;
        // The loudest channel's RMS of the last interval.
        const GValue *rms = gst_structure_get_value(s, "rms");
        double loudest = -100.0;
        // The level element posts a GValueArray of doubles, one per channel.
        if (rms && G_VALUE_HOLDS_BOXED(rms)) {
            G_GNUC_BEGIN_IGNORE_DEPRECATIONS
            const auto *values = static_cast<const GValueArray *>(g_value_get_boxed(rms));
            for (guint i = 0; values && i < values->n_values; ++i) {
                if (G_VALUE_HOLDS_DOUBLE(&values->values[i]))
                    loudest = std::max(loudest, g_value_get_double(&values->values[i]));
            }
            G_GNUC_END_IGNORE_DEPRECATIONS
        }
        m_level = loudest;
        if (!m_soundTold) {
            m_soundTold = true;
            m_out.send("recording", {m_idText});
        }
        break;
    }
    case GST_MESSAGE_EOS:
        finish(true, std::string());
        break;
    case GST_MESSAGE_ERROR: {
        GError *error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        const std::string text = error && error->message ? error->message : "recording error";
        g_clear_error(&error);
        std::fprintf(stderr, "quellon-audio: recording error: %s\n", text.c_str());
        finish(false, text);
        break;
    }
    default:
        break;
    }
}

void WavRecorder::finish(bool complete, const std::string &reason)
{
    const long long ms = recordedMs();
    const std::string id = m_idText;
    dropPipeline();
    m_id = 0;
    if (complete)
        m_out.send("recorded", {id, numberText(ms)});
    else
        m_out.send("recfail", {id, reason});
}
