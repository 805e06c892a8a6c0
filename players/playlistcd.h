#pragma once

#include <QString>

// Whether CD audio tracks can be played here: a CD drive and GStreamer's CD
// audio source. Tests substitute an answer of their own.
class PlaylistCd
{
public:
    virtual ~PlaylistCd();
    virtual bool canPlayTracks() const = 0;

    // What the player and the probe are given for a .cda entry: GStreamer's
    // CD audio source plays "cdda://N" from the default drive. Empty, with
    // the reason in *why, when the name holds no track number or when tracks
    // cannot be played here (playable: the answer of canPlayTracks(), which
    // a caller going through many entries asks once).
    static QString trackSource(const QString &path, bool playable, QString *why);
};

// Looks at the machine each time it is asked, so a drive plugged in while the
// window is open counts from the next entry on.
class SystemPlaylistCd final : public PlaylistCd
{
public:
    bool canPlayTracks() const override;

private:
    static bool hasCdDrive();
    static bool hasCdPlugin();
};
