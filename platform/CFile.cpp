#include "platform/CFile.h"

#include "platform/CWnd.h"

#include <algorithm>
#include <string>

namespace {

CString FileErrorText(CFileException::Cause cause, LPCTSTR lpszFileName)
{
    CString name(lpszFileName != nullptr && *lpszFileName != '\0' ? lpszFileName : "an unnamed file");
    switch (cause) {
    case CFileException::fileNotFound:
        return name + " was not found.";
    case CFileException::badPath:
        return name + " contains an incorrect path.";
    case CFileException::accessDenied:
        return name + " cannot be accessed.";
    case CFileException::diskFull:
        return CString("There is not enough space on the disk for ") + name + ".";
    case CFileException::sharingViolation:
        return CString("Sharing violation while accessing ") + name + ".";
    default:
        return CString("An unexpected error occurred while accessing ") + name + ".";
    }
}

} // namespace

CFileException::CFileException(Cause cause, LONG lOsError, LPCTSTR lpszFileName)
    : CException(FileErrorText(cause, lpszFileName)), m_cause(cause), m_lOsError(lOsError),
      m_strFileName(lpszFileName)
{
}

CFileException::Cause CFileException::OsErrorToException(LONG lOsError)
{
    switch (lOsError) {
    case ERROR_FILE_NOT_FOUND:
        return fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_DIRECTORY:
        return badPath;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return accessDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return diskFull;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return sharingViolation;
    default:
        return genericException;
    }
}

CStdioFile::CStdioFile(LPCTSTR lpszFileName, UINT nOpenFlags) : m_strFileName(lpszFileName)
{
    DWORD disposition = (nOpenFlags & modeCreate) != 0 ? CREATE_ALWAYS : OPEN_EXISTING;
    HANDLE h = ::CreateFileA(lpszFileName, GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        ThrowLastError();
    m_hFile.reset(h);
}

CStdioFile::~CStdioFile() = default;

void CStdioFile::ThrowLastError() const
{
    LONG error = static_cast<LONG>(::GetLastError());
    throw CFileException(CFileException::OsErrorToException(error), error, m_strFileName);
}

void CStdioFile::WriteString(LPCTSTR lpsz)
{
    std::string text;
    for (const char* p = lpsz; *p != '\0'; ++p) {
        if (*p == '\n')
            text += '\r';
        text += *p;
    }
    Write(text.data(), text.size());
}

void CStdioFile::Write(const void* lpBuf, size_t nCount)
{
    const char* p = static_cast<const char*>(lpBuf);
    while (nCount > 0) {
        DWORD written = 0;
        DWORD want = static_cast<DWORD>(std::min<size_t>(nCount, 1u << 20));
        if (!::WriteFile(m_hFile.get(), p, want, &written, nullptr) || written == 0)
            ThrowLastError();
        p += written;
        nCount -= written;
    }
}

void CStdioFile::Flush()
{
    if (!::FlushFileBuffers(m_hFile.get()))
        ThrowLastError();
}

void CStdioFile::Close()
{
    HANDLE h = m_hFile.release();
    if (h != nullptr && !::CloseHandle(h))
        ThrowLastError();
}

CFileDialog::CFileDialog(BOOL bOpenFileDialog, LPCTSTR lpszDefExt, LPCTSTR lpszFileName, DWORD dwFlags,
                         LPCTSTR lpszFilter, CWnd* pParentWnd)
    : m_bOpenFileDialog(bOpenFileDialog), m_strDefExt(lpszDefExt), m_dwFlags(dwFlags), m_pParentWnd(pParentWnd)
{
    lstrcpynA(m_szFileName, lpszFileName != nullptr ? lpszFileName : "", sizeof m_szFileName);
    std::string filter(lpszFilter != nullptr ? lpszFilter : "");
    for (char& ch : filter)
        if (ch == '|')
            ch = '\0';
    m_filter = filter;
}

INT_PTR CFileDialog::DoModal()
{
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
    ofn.lpstrFilter = m_filter.empty() ? nullptr : m_filter.c_str();
    ofn.lpstrFile = m_szFileName;
    ofn.nMaxFile = sizeof m_szFileName;
    ofn.lpstrDefExt = m_strDefExt.IsEmpty() ? nullptr : static_cast<LPCTSTR>(m_strDefExt);
    ofn.Flags = m_dwFlags | OFN_EXPLORER;
    BOOL ok = m_bOpenFileDialog ? ::GetOpenFileNameA(&ofn) : ::GetSaveFileNameA(&ofn);
    return ok ? IDOK : IDCANCEL;
}
