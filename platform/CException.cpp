#include "platform/CException.h"

#include "platform/CWinApp.h"

CString afx::CurrentExceptionText() noexcept
{
    try {
        try {
            throw;
        } catch (const CException& e) {
            return e.GetErrorMessage();
        } catch (const std::exception& e) {
            return e.what();
        } catch (...) {
            return "An unexpected error occurred.";
        }
    } catch (...) {
        return CString(); // out of memory while saying it
    }
}

void afx::ReportCurrentException() noexcept
{
    CString text = CurrentExceptionText();
    try {
        AfxMessageBox(text.IsEmpty() ? "An unexpected error occurred." : static_cast<LPCTSTR>(text));
    } catch (...) {
        // Out of memory while reporting: nothing more can be shown.
    }
}
