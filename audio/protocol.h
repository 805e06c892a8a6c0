#pragma once

// The messages between the console and its audio engine (quellon-audio).
// Shared by both sides, so it uses the standard library only: the engine
// has no Qt in it.
//
// A message is one line of text ended by "\n": a verb and its arguments,
// separated by single spaces. An argument that is text (a file URI, a
// reason) has every byte that is "%", a space, a control character or DEL
// written as "%XX" (two upper-case hex digits); every other byte stands as
// it is, so paths pass byte for byte whatever their encoding. Numbers are
// decimal; a volume is a decimal fraction with a "." point.
//
// The engine speaks first: "ready <version> <pid>". The console drops an
// engine whose version is not kVersion. See audio/PROTOCOL.md for the
// messages of each direction.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace audioproto {

inline constexpr int kVersion = 1;
// A line longer than this is not a message of ours; the reader drops it.
inline constexpr std::size_t kMaxLine = 64 * 1024;

struct Message
{
    std::string verb;
    std::vector<std::string> args;

    const std::string &arg(std::size_t i) const;
    std::optional<std::int64_t> number(std::size_t i) const;
    std::optional<double> fraction(std::size_t i) const;
};

std::string escape(std::string_view text);
// Empty when the text holds a "%" not followed by two hex digits.
std::optional<std::string> unescape(std::string_view text);

// The line of a message, "\n" included; the arguments are escaped here.
std::string encode(const Message &message);
std::string encode(std::string_view verb, std::initializer_list<std::string_view> args);
// A line without its "\n". Empty for a blank line, a verb that is not a
// plain word (letters, digits, "_", "-") or a broken escape.
std::optional<Message> decode(std::string_view line);

std::string formatFraction(double value);

// Cuts a byte stream into lines. A line over kMaxLine is dropped whole and
// counted, and reading goes on at the next line end.
class LineReader
{
public:
    void append(std::string_view bytes);
    // The next whole line without its "\n" (a "\r" before it is kept).
    std::optional<std::string> next();
    std::size_t droppedLines() const { return m_dropped; }

private:
    std::string m_buffer;
    std::size_t m_scan = 0; // where the search for the next "\n" goes on
    bool m_skipping = false; // inside a line too long to keep
    std::size_t m_dropped = 0;
};

} // namespace audioproto
