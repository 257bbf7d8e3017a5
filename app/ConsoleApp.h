// CConsoleApp: the application object. It prepares the platform (the
// registry profile, the rich edit library from the system directory), runs
// the main dialog modally and ends the program when the dialog closes.
#pragma once

#include "platform/Afx.h"

class CConsoleApp : public CWinApp {
public:
    // Called once at start-up; false ends the program after the dialog.
    BOOL InitInstance() override;
};

// Loads RICHED32.DLL from the system directory into the framework's rich
// edit state, unless a library is held there already. True when one is.
bool LoadSystemRichEdit();
