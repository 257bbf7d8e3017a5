#include "console/ExportJob.h"

#include "console/Messages.h"
#include "platform/CClipboard.h"
#include "platform/CFile.h"

#include "platform/CException.h"

bool CExportJob::Start(HWND hWndOwner, std::unique_ptr<CTextExport> text, Kind kind, const CString& path)
{
    if (m_pThread)
        return false;
    m_text = std::move(text);
    m_kind = kind;
    m_path = path;
    m_nDone = 0;
    m_bCancel = false;
    m_result = CResult();
    m_result.kind = kind;
    m_dwStart = ::GetTickCount();
    CWinThread* pThread = AfxBeginThread(&CExportJob::Thread, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (pThread == nullptr)
        return false;
    pThread->m_bAutoDelete = FALSE;
    pThread->SetOwner(hWndOwner, WM_EXPORT_DONE); // whatever happens on the thread
    m_pThread.reset(pThread);
    m_pThread->ResumeThread();
    return true;
}

int CExportJob::GetPercent() const
{
    uint64_t total = m_text ? m_text->GetSizeHint() : 1;
    return static_cast<int>(std::min<uint64_t>(99, m_nDone * 100 / (total > 0 ? total : 1)));
}

UINT CExportJob::Thread(LPVOID pParam)
{
    auto* job = static_cast<CExportJob*>(pParam);
    try {
        if (job->m_kind == save)
            job->Save();
        else
            job->Copy();
    } catch (...) {
        job->m_result.error = afx::CurrentExceptionText();
        job->m_result.bDone = false;
        if (job->m_kind == save)
            ::DeleteFileA(job->m_path); // never a partial file as if saved
    }
    return 0;
}

void CExportJob::Save()
{
    bool bOpened = false, bRead = false;
    try {
        CStdioFile file(m_path, CStdioFile::modeCreate | CStdioFile::modeWrite);
        bOpened = true;
        bRead = m_text->Write([&](const std::string& piece) {
            if (m_bCancel)
                return false;
            file.Write(piece.data(), piece.size());
            m_nDone += piece.size();
            return true;
        });
        if (bRead) {
            file.Flush();
            file.Close();
        }
    } catch (const CFileException& e) {
        m_result.error = e.GetErrorMessage();
    }
    m_result.bCancelled = m_bCancel;
    m_result.bDone = bRead && m_result.error.IsEmpty();
    if (m_result.bDone || !bOpened)
        return; // a file that could not be opened is not this job's to remove
    if (m_result.error.IsEmpty() && !m_bCancel) // part of the kept output could not be read back
        m_result.error = CFileException(CFileException::genericException, 0, m_path).GetErrorMessage();
    ::DeleteFileA(m_path); // never a partial file as if saved
}

void CExportJob::Copy()
{
    if (m_text->GetSizeHint() > kMaxCopyBytes) {
        m_result.bTooLarge = true;
        return;
    }
    std::string utf8;
    bool bRead = m_text->ReadUtf8([&](const std::string& piece) {
        utf8 += piece;
        m_nDone += piece.size();
        return !m_bCancel;
    });
    if (!bRead) {
        m_result.error = "Part of the output could not be read back, so nothing was copied.";
        return;
    }
    std::wstring wide;
    stored::AppendUtf16(wide, utf8.data(), utf8.size());
    std::string ansi;
    stored::AppendAnsi(ansi, utf8.data(), utf8.size());
    std::string().swap(utf8);
    m_result.unicode = CClipboard::Copy(wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
    m_result.ansi = CClipboard::Copy(ansi.c_str(), ansi.size() + 1);
    m_result.bTooLarge = !m_result.unicode || !m_result.ansi; // the memory could not be had
    m_result.bDone = !m_result.bTooLarge;
}

CExportJob::CResult CExportJob::Finish()
{
    if (m_pThread) {
        ::WaitForSingleObject(m_pThread->m_hThread, INFINITE); // it has ended: it is returning
        if (!m_pThread->GetFailure().IsEmpty() && m_result.error.IsEmpty())
            m_result.error = m_pThread->GetFailure();
    }
    m_pThread.reset();
    m_text.reset();
    return std::move(m_result);
}

void CExportJob::End()
{
    if (!m_pThread)
        return;
    m_bCancel = true;
    ::WaitForSingleObject(m_pThread->m_hThread, INFINITE); // it sends nothing: a plain wait
    m_pThread.reset();
    m_text.reset();
}
