// CRunHost: what the run worker needs of the window that owns a run (the
// main dialog; a test dialog in the tests). The worker receives it as its
// thread parameter.
#pragma once

#include "platform/CString.h"

class CStdinWriter;

class CRunHost {
public:
    // The window that receives the run messages.
    virtual HWND GetRunWindow() const = 0;
    // The typed command; unchanged while the run lasts.
    virtual const CString& GetRunCommand() const = 0;
    // The writer through which the host sends typed characters.
    virtual CStdinWriter& GetRunStdin() = 0;

protected:
    ~CRunHost() = default;
};
