// Framework exceptions, and how one that reaches the framework is reported.
//
// The framework's own operations throw these (a file that cannot be written,
// an event that cannot be made). Window procedures catch every exception at
// their boundary and show it in a message box, so none ever unwinds through
// the system's code and the dialog carries on; thread entries catch it too
// and keep its text for the thread's owner (CWinThread), showing nothing.
#pragma once

#include "platform/CString.h"

#include <exception>

class CException : public std::exception {
public:
    explicit CException(CString strMessage) : m_strMessage(std::move(strMessage)) {}
    const char* what() const noexcept override { return m_strMessage; }
    virtual CString GetErrorMessage() const { return m_strMessage; }

private:
    CString m_strMessage;
};

// A system object (event, thread, window) could not be created.
class CResourceException : public CException {
public:
    CResourceException() : CException("A required resource was unavailable.") {}
};

namespace afx {

// The text of the exception in flight; for use inside a catch block.
CString CurrentExceptionText() noexcept;
// Shows the exception in flight in a message box; for use inside a catch
// block at a framework boundary on the user-interface thread. Never throws.
void ReportCurrentException() noexcept;

} // namespace afx
