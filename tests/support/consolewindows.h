#pragma once

#include "console/console.h"
#include "console/frmbackup.h"
#include "console/frmsetup.h"
#include "players/frmplaylist.h"
#include "schedule/weekprog.h"
#include "zonelink/frmclock.h"
#include "zonelink/frmmanual.h"

// What app/main.cpp gives the windows that take their services in one
// struct, taken from a test's console.

inline frmmanual::Services manualServices(Console &c)
{
    return {c.link(), c.dialogs(), c.folder(), c.settings(), [&c] { return c.ending(); }};
}

inline frmplaylist::Services playlistServices(Console &c)
{
    return {c.dialogs(), c.folder(), c.clock(), c.power(), c.log()};
}

inline frmclock::Services clockServices(Console &c)
{
    return {c.clock(), c.power(), c.dialogs(), c.link(), c.savedFiles()};
}

inline frmsetup::Services setupServices(Console &c)
{
    return {c.dialogs(), c.folder(), c.link(), c.settings(),
            [&c](const AppSettings &values) { return c.applySettings(values); }};
}

inline weekprog::Services weekprogServices(Console &c)
{
    return {c.dialogs(),  c.folder(), c.clock(),    c.probe(),     c.volume(),
            c.playback(), c.state(),  c.settings(), c.savedFiles()};
}

// The data folder of the console; the store's file is the test's to name.
inline frmbackup::Services backupServices(Console &c, const QString &storeFile)
{
    return {c.dialogs(), c.clock(), {c.folder().path(), storeFile}};
}
