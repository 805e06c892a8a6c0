#pragma once

#include <QString>

// Whether CD audio tracks can be played here: a CD drive and GStreamer's CD
// audio source. Tests substitute an answer of their own.
class PlaylistCd
{
public:
    virtual ~PlaylistCd();
    virtual bool canPlayTracks() const = 0;

    // What the player is given for a track: GStreamer's CD audio source
    // plays "cdda://N" from the default drive.
    static QString trackUrl(int track);
};

// Looks at the machine each time it is asked, so a drive plugged in while the
// window is open counts from the next entry on.
class SystemPlaylistCd final : public PlaylistCd
{
public:
    bool canPlayTracks() const override;

    static bool hasCdDrive();
    static bool hasCdPlugin();
};
