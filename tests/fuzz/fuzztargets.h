#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Entry points shared by the libFuzzer executables and the corpus replay
// test: each takes one input, runs one reader (or the frame decoder, or the
// zone link on a script of events) on it and checks what must hold whatever
// the bytes. A broken rule aborts with a
// line on stderr, which libFuzzer reports as a finding and the replay test
// as a crash.
namespace Fuzz {

// A rule that must hold whatever the input: a broken one aborts, naming it.
inline void check(bool holds, const char *rule)
{
    if (!holds) {
        std::fprintf(stderr, "fuzz rule broken: %s\n", rule);
        std::abort();
    }
}

using Target = int (*)(const std::uint8_t *data, std::size_t size);

int fieldReader(const std::uint8_t *data, std::size_t size);
int scheduleFile(const std::uint8_t *data, std::size_t size);
int nodeFile(const std::uint8_t *data, std::size_t size);
int ampNameFile(const std::uint8_t *data, std::size_t size);
int remoteListFile(const std::uint8_t *data, std::size_t size);
int configIni(const std::uint8_t *data, std::size_t size);
int frames(const std::uint8_t *data, std::size_t size);
int zoneLink(const std::uint8_t *data, std::size_t size);
int audioLines(const std::uint8_t *data, std::size_t size);
int nodeRoundTrip(const std::uint8_t *data, std::size_t size);
int ampNamesRoundTrip(const std::uint8_t *data, std::size_t size);
int remoteListRoundTrip(const std::uint8_t *data, std::size_t size);
int playlistRoundTrip(const std::uint8_t *data, std::size_t size);
int weekEditor(const std::uint8_t *data, std::size_t size);
int manualControl(const std::uint8_t *data, std::size_t size);
int clockReplies(const std::uint8_t *data, std::size_t size);
int statusReplies(const std::uint8_t *data, std::size_t size);
int playlist(const std::uint8_t *data, std::size_t size);
int backupArchive(const std::uint8_t *data, std::size_t size);
int webBodies(const std::uint8_t *data, std::size_t size);
int webDispatch(const std::uint8_t *data, std::size_t size);
int webFront(const std::uint8_t *data, std::size_t size);

struct Entry
{
    const char *name; // also the folder of its seeds under corpus/
    Target run;
};

inline constexpr std::array<Entry, 22> kTargets {{
    {"fieldreader", fieldReader},
    {"schedulefile", scheduleFile},
    {"nodefile", nodeFile},
    {"ampnamefile", ampNameFile},
    {"remotelistfile", remoteListFile},
    {"configini", configIni},
    {"frames", frames},
    {"zonelink", zoneLink},
    {"audiolines", audioLines},
    {"noderoundtrip", nodeRoundTrip},
    {"ampnamesroundtrip", ampNamesRoundTrip},
    {"remotelistroundtrip", remoteListRoundTrip},
    {"playlistroundtrip", playlistRoundTrip},
    {"weekeditor", weekEditor},
    {"manualcontrol", manualControl},
    {"clockreplies", clockReplies},
    {"statusreplies", statusReplies},
    {"playlist", playlist},
    {"backuparchive", backupArchive},
    {"webbodies", webBodies},
    {"webdispatch", webDispatch},
    {"webfront", webFront},
}};

} // namespace Fuzz
