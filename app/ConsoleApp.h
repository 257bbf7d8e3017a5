// CConsoleApp: the application object. It prepares the platform (the
// registry profile, the rich edit library from the system folder), runs the
// main dialog modally and ends the program when the dialog closes. Without
// the rich edit library there is no pane: it says so and ends.
#pragma once

#include "platform/Afx.h"

class CConsoleApp : public CWinApp {
public:
    // Called once at start-up; false ends the program after the dialog.
    BOOL InitInstance() override;
};
