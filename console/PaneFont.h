// The pane's font: a console's columns line up only in a fixed-pitch font,
// and the dialog's own ("Courier") need not exist: Windows maps it to a
// raster font, a Wine prefix to whatever it has. So the pane takes the first
// installed of Consolas, Lucida Console and Courier New, else any
// fixed-pitch TrueType font the system has, found with its font
// enumeration.
//
// User-interface thread only.
#pragma once

#include "platform/CFont.h"

// Makes font the pane's font at nPoints for the screen; false when the
// system has no fixed-pitch TrueType font at all.
bool CreatePaneFont(CFont& font, int nPoints);
