#pragma once

#include "console/console.h"
#include "zonelink/frmmanual.h"

// What app/main.cpp gives the manual control window, taken from a test's console.
inline frmmanual::Services manualServices(Console &c)
{
    return {c.link(), c.dialogs(), c.folder(), c.settings(), [&c] { return c.ending(); }};
}
