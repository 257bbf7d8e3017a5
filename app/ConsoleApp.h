// CConsoleApp: the application object. It places the profile, runs the main
// dialog modally and ends the program when the dialog closes.
#pragma once

#include "platform/Afx.h"

class CConsoleApp : public CWinApp {
public:
    // Called once at start-up; false ends the program after the dialog.
    BOOL InitInstance() override;
};
