#include "platform/CException.h"

#include "platform/CWinApp.h"

void afx::ReportCurrentException() noexcept
{
    try {
        try {
            throw;
        } catch (const CException& e) {
            AfxMessageBox(e.GetErrorMessage());
        } catch (const std::exception& e) {
            AfxMessageBox(e.what());
        } catch (...) {
            AfxMessageBox("An unexpected error occurred.");
        }
    } catch (...) {
        // Out of memory while reporting: nothing more can be shown.
    }
}
