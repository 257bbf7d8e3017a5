// CExportJob: a Save or a Copy of the run's output, done away from the
// user-interface thread, so that the window, the run and its child go on
// meanwhile.
//
// It works on a CTextExport snapshot. The run's store only grows and a new
// run gets a new one, so what is written is exactly the text of the moment
// Save or Copy was chosen, whatever the run and the pane do meanwhile; the
// pane is not read at all. One job at a time.
//
// Save writes the file a piece at a time and counts its progress. Cancel
// stops it at the next piece and removes the partial file, and so does a
// failure, which the result names: a file is never left as if saved. Copy
// assembles the clipboard's Unicode and ANSI texts (up to kMaxCopyBytes of
// text) in global memory; the window puts them on the clipboard, which
// belongs to its thread.
//
// Threads: every member function on the user-interface thread; the
// framework posts WM_EXPORT_DONE to the owner when the worker has ended,
// whatever ended it (an exception too: the result then says what). m_nDone
// and m_bCancel are atomics (either thread); m_result is the worker's until
// it has ended.
#pragma once

#include "platform/CClipboard.h"
#include "platform/CString.h"
#include "platform/CWinThread.h"
#include "screen/TextExport.h"

#include <atomic>
#include <memory>

class CExportJob {
public:
    enum Kind { save, copy };
    static constexpr uint64_t kMaxCopyBytes = 32 * 1024 * 1024;

    struct CResult {
        Kind kind = save;
        bool bDone = false;      // written, or ready for the clipboard
        bool bCancelled = false;
        bool bTooLarge = false;  // Copy: past kMaxCopyBytes
        CString error;           // what went wrong, when it did
        CGlobalMemory unicode;   // Copy: CF_UNICODETEXT
        CGlobalMemory ansi;      // Copy: CF_TEXT
    };

    CExportJob() = default;
    CExportJob(const CExportJob&) = delete;
    CExportJob& operator=(const CExportJob&) = delete;
    ~CExportJob() { End(); }

    // False when a job is running, or no thread could be made.
    [[nodiscard]] bool Start(HWND hWndOwner, std::unique_ptr<CTextExport> text, Kind kind, const CString& path);
    bool IsRunning() const { return static_cast<bool>(m_pThread); }
    Kind GetKind() const { return m_kind; }
    // How far it has come, 0 to 100, and since when it runs.
    int GetPercent() const;
    DWORD GetElapsedMs() const { return ::GetTickCount() - m_dwStart; }
    void Cancel() { m_bCancel = true; }
    // Once WM_EXPORT_DONE has come: the worker has ended; its result.
    CResult Finish();
    // The window is going: cancels and waits for the worker.
    void End();

private:
    static UINT Thread(LPVOID pParam);
    void Save();
    void Copy();

    std::unique_ptr<CWinThread> m_pThread;
    std::unique_ptr<CTextExport> m_text; // the worker's while it runs
    Kind m_kind = save;                  // written before the worker starts
    CString m_path;                      // written before the worker starts
    DWORD m_dwStart = 0;
    std::atomic<uint64_t> m_nDone{ 0 };
    std::atomic<bool> m_bCancel{ false };
    CResult m_result;
};
