#pragma once

#include <string>
#include <string_view>

// The engine's answers go to its standard output, one message a line. A
// write that cannot go through means the console is gone, and so is the
// engine.
class Output
{
public:
    void send(std::string_view verb, std::initializer_list<std::string_view> args);
    void sendLine(const std::string &line);
};

std::string numberText(long long value);

typedef struct _GstElement GstElement;
// The text of the error an element of pipeline left on its bus, or fallback.
std::string busError(GstElement *pipeline, const char *fallback);
