#include "platform/CRichEditCtrl.h"

#include <shlwapi.h>

#include <algorithm>
#include <cstring>

namespace {

struct RichEditLibrary {
    AFX_RICHEDIT_STATE state;
    ~RichEditLibrary()
    {
        if (state.m_hInstRichEdit != nullptr)
            ::FreeLibrary(state.m_hInstRichEdit);
    }
};

RichEditLibrary g_richEdit;

// Hands the control an RTF document held in memory.
struct StreamSource {
    const std::string* text;
    size_t at;
};

DWORD CALLBACK ReadStream(DWORD_PTR cookie, LPBYTE buffer, LONG n, LONG* pnRead)
{
    auto* source = reinterpret_cast<StreamSource*>(cookie);
    size_t count = std::min(static_cast<size_t>(n), source->text->size() - source->at);
    std::memcpy(buffer, source->text->data() + source->at, count);
    source->at += count;
    *pnRead = static_cast<LONG>(count);
    return 0;
}

} // namespace

long CRichEditCtrl::StreamInRtf(HWND hWnd, const std::string& rtf)
{
    StreamSource source{ &rtf, 0 };
    EDITSTREAM stream{};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
    stream.pfnCallback = &ReadStream;
    return static_cast<long>(::SendMessageA(hWnd, EM_STREAMIN, SF_RTF | SFF_SELECTION, reinterpret_cast<LPARAM>(&stream)));
}

AFX_RICHEDIT_STATE* AfxGetRichEditState() noexcept
{
    return &g_richEdit.state;
}

HINSTANCE AfxLoadSystemLibrary(LPCTSTR lpszFileName)
{
    char path[MAX_PATH];
    UINT n = ::GetSystemDirectoryA(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH || n + 1 + lstrlenA(lpszFileName) >= MAX_PATH)
        return nullptr;
    ::PathAddBackslashA(path);
    lstrcatA(path, lpszFileName);
    return ::LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

BOOL AfxInitRichEdit()
{
    AFX_RICHEDIT_STATE* pState = AfxGetRichEditState();
    if (pState->m_hInstRichEdit == nullptr)
        pState->m_hInstRichEdit = AfxLoadSystemLibrary("RICHED32.DLL");
    return pState->m_hInstRichEdit != nullptr;
}

long CRichEditCtrl::GetTextLength() const
{
    return static_cast<long>(::SendMessageA(m_hWnd, WM_GETTEXTLENGTH, 0, 0));
}

void CRichEditCtrl::GetSel(long& nStartChar, long& nEndChar) const
{
    CHARRANGE cr{ 0, 0 };
    ::SendMessageA(m_hWnd, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&cr));
    nStartChar = cr.cpMin;
    nEndChar = cr.cpMax;
}

void CRichEditCtrl::SetSel(long nStartChar, long nEndChar)
{
    CHARRANGE cr{ nStartChar, nEndChar };
    ::SendMessageA(m_hWnd, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&cr));
}

void CRichEditCtrl::ReplaceSel(LPCTSTR lpszNewText, BOOL bCanUndo)
{
    ::SendMessageA(m_hWnd, EM_REPLACESEL, static_cast<WPARAM>(bCanUndo), reinterpret_cast<LPARAM>(lpszNewText));
}

POINT CRichEditCtrl::GetCharPos(long lChar) const
{
    // Rich edit 1.0 form: the point comes back through wParam.
    POINTL pt{ 0, 0 };
    ::SendMessageA(m_hWnd, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&pt), lChar);
    return POINT{ pt.x, pt.y };
}

void CRichEditCtrl::LimitText(long nChars)
{
    ::SendMessageA(m_hWnd, EM_EXLIMITTEXT, 0, nChars);
}

void CRichEditCtrl::SetUndoLimit(long nLimit)
{
    ::SendMessageA(m_hWnd, EM_SETUNDOLIMIT, static_cast<WPARAM>(nLimit), 0);
}
