// Files and the file dialog: CStdioFile (a text-mode file for writing),
// CFileException (what a failed file operation throws) and CFileDialog.
//
// CStdioFile writes like a C text-mode stream: every line feed becomes
// carriage return and line feed. Every failure throws a CFileException whose
// message names the file; the framework's dispatch shows it in a message box.
#pragma once

#include "platform/CException.h"
#include "platform/UniqueHandle.h"

#include <string>

class CWnd;

class CFileException : public CException {
public:
    enum Cause { genericException, fileNotFound, badPath, accessDenied, diskFull, sharingViolation };

    CFileException(Cause cause, LONG lOsError, LPCTSTR lpszFileName);

    Cause m_cause;
    LONG m_lOsError;
    CString m_strFileName;

    // The cause that a Win32 error code stands for.
    static Cause OsErrorToException(LONG lOsError);
};

class CStdioFile {
public:
    enum OpenFlags { modeWrite = 0x0001, modeCreate = 0x1000 };

    CStdioFile() = default;
    // Opens (with modeCreate: creates or truncates) a file for writing;
    // throws CFileException.
    CStdioFile(LPCTSTR lpszFileName, UINT nOpenFlags);
    CStdioFile(const CStdioFile&) = delete;
    CStdioFile& operator=(const CStdioFile&) = delete;
    ~CStdioFile(); // closes without throwing

    void WriteString(LPCTSTR lpsz);
    // Writes the bytes as they are.
    void Write(const void* lpBuf, size_t nCount);
    void Flush();
    void Close();

private:
    [[noreturn]] void ThrowLastError() const;

    CHandle m_hFile;
    CString m_strFileName;
};

class CFileDialog {
public:
    // lpszFilter: pairs of "text|pattern|", ended by "|".
    CFileDialog(BOOL bOpenFileDialog, LPCTSTR lpszDefExt = nullptr, LPCTSTR lpszFileName = nullptr,
                DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCTSTR lpszFilter = nullptr,
                CWnd* pParentWnd = nullptr);

    // IDOK when a file was chosen, IDCANCEL otherwise.
    INT_PTR DoModal();
    CString GetPathName() const { return CString(m_szFileName); }

private:
    BOOL m_bOpenFileDialog;
    CString m_strDefExt;
    std::string m_filter; // '|' turned into zeros
    DWORD m_dwFlags;
    CWnd* m_pParentWnd;
    char m_szFileName[MAX_PATH];
};
