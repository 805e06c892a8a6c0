#include "audio/engine/output.h"

#include "audio/protocol.h"

#include <gst/gst.h>

#include <cerrno>
#include <cstdlib>
#include <unistd.h>

void Output::send(std::string_view verb, std::initializer_list<std::string_view> args)
{
    sendLine(audioproto::encode(verb, args));
}

void Output::sendLine(const std::string &line)
{
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            std::_Exit(0); // the console closed its end
        done += std::size_t(n);
    }
}

std::string numberText(long long value)
{
    return std::to_string(value);
}

std::string busError(GstElement *pipeline, const char *fallback)
{
    std::string text = fallback;
    GstBus *bus = gst_element_get_bus(pipeline);
    if (GstMessage *message = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR)) {
        GError *error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        if (error && error->message)
            text = error->message;
        g_clear_error(&error);
        gst_message_unref(message);
    }
    gst_object_unref(bus);
    return text;
}
