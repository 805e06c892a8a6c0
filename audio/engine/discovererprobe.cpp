#include "audio/engine/discovererprobe.h"

#include "audio/engine/output.h"

#include <cstdio>

DiscovererProbe::DiscovererProbe(Output &out)
    : m_out(out)
{
}

DiscovererProbe::~DiscovererProbe()
{
    if (m_discoverer) {
        gst_discoverer_stop(m_discoverer);
        g_object_unref(m_discoverer);
    }
}

bool DiscovererProbe::start()
{
    if (m_discoverer)
        return true;
    GError *error = nullptr;
    m_discoverer = gst_discoverer_new(kTimeoutSeconds * GST_SECOND, &error);
    if (!m_discoverer) {
        std::fprintf(stderr, "quellon-audio: no discoverer: %s\n",
                     error ? error->message : "unknown");
        g_clear_error(&error);
        return false;
    }
    g_signal_connect(m_discoverer, "discovered", G_CALLBACK(&DiscovererProbe::discovered), this);
    gst_discoverer_start(m_discoverer);
    return true;
}

void DiscovererProbe::probe(std::int64_t id, const std::string &uri)
{
    if (!start()) {
        m_out.send("probefail", {numberText(id), "GStreamer has no discoverer"});
        return;
    }
    if (!gst_discoverer_discover_uri_async(m_discoverer, uri.c_str())) {
        m_out.send("probefail", {numberText(id), "the file cannot be opened"});
        return;
    }
    m_requests.push_back({id, uri, false});
}

void DiscovererProbe::cancel(std::int64_t id)
{
    for (Request &r : m_requests) {
        if (r.id == id)
            r.cancelled = true;
    }
}

void DiscovererProbe::discovered(GstDiscoverer *, GstDiscovererInfo *info, GError *error,
                                 gpointer self)
{
    static_cast<DiscovererProbe *>(self)->answer(info, error);
}

void DiscovererProbe::answer(GstDiscovererInfo *info, const GError *error)
{
    if (m_requests.empty())
        return;
    // The discoverer answers in the order it was asked; the URI confirms it.
    auto it = m_requests.begin();
    if (const gchar *uri = info ? gst_discoverer_info_get_uri(info) : nullptr) {
        for (auto r = m_requests.begin(); r != m_requests.end(); ++r) {
            if (r->uri == uri) {
                it = r;
                break;
            }
        }
    }
    const Request request = *it;
    m_requests.erase(it);
    if (request.cancelled)
        return;
    const std::string id = numberText(request.id);
    const GstDiscovererResult result
        = info ? gst_discoverer_info_get_result(info) : GST_DISCOVERER_ERROR;
    const GstClockTime duration = info ? gst_discoverer_info_get_duration(info) : 0;
    if (result == GST_DISCOVERER_OK && GST_CLOCK_TIME_IS_VALID(duration) && duration > 0) {
        m_out.send("duration", {id, numberText(static_cast<long long>(duration / GST_MSECOND))});
        return;
    }
    std::string reason;
    switch (result) {
    case GST_DISCOVERER_URI_INVALID:
        reason = "invalid file name";
        break;
    case GST_DISCOVERER_TIMEOUT:
        reason = "no answer within " + numberText(kTimeoutSeconds) + " s";
        break;
    case GST_DISCOVERER_MISSING_PLUGINS:
        reason = "no decoder for this file";
        break;
    case GST_DISCOVERER_OK:
        reason = "no duration";
        break;
    default:
        reason = error && error->message ? error->message : "the file cannot be read";
        break;
    }
    m_out.send("probefail", {id, reason});
}
