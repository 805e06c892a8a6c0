#pragma once

#include <gst/pbutils/pbutils.h>

#include <cstdint>
#include <deque>
#include <string>

class Output;

// Finds how long files play without playing them (GstDiscoverer in its
// asynchronous mode, on the main loop). Requests queue and are answered in
// order, each by its id: "duration <id> <ms>" or "probefail <id> <reason>".
class DiscovererProbe
{
public:
    explicit DiscovererProbe(Output &out);
    ~DiscovererProbe();
    DiscovererProbe(const DiscovererProbe &) = delete;
    DiscovererProbe &operator=(const DiscovererProbe &) = delete;

    void probe(std::int64_t id, const std::string &uri);
    // A queued request is dropped; one under way is answered to nobody.
    void cancel(std::int64_t id);

    static constexpr int kTimeoutSeconds = 10;

private:
    struct Request
    {
        std::int64_t id;
        std::string uri;
        bool cancelled;
    };
    static void discovered(GstDiscoverer *, GstDiscovererInfo *info, GError *error, gpointer self);
    void answer(GstDiscovererInfo *info, const GError *error);
    bool start();

    Output &m_out;
    GstDiscoverer *m_discoverer = nullptr;
    std::deque<Request> m_requests; // in the order given to the discoverer
};
