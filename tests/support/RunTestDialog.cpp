#include "RunTestDialog.h"

#include "Pump.h"
#include "TestResource.h"
#include "UiCall.h"
#include "WindowText.h"
#include "res/resource.h"
#include "runner/RunWorker.h"

namespace testsupport {

BEGIN_MESSAGE_MAP(CRunTestDlg, CDialog)
    ON_MESSAGE(WM_TEST_RUN, OnTestRun)
    ON_MESSAGE(WM_TEST_STOP, OnTestStop)
    ON_MESSAGE(WM_TEST_COPY, OnTestCopy)
    ON_MESSAGE(WM_RUN_FINISHED, OnRunFinished)
    ON_MESSAGE(WM_RUN_PROCESS, OnRunProcess)
    ON_MESSAGE(WM_RUN_STDIN, OnRunStdin)
    ON_MESSAGE(WM_RUN_OUTPUT, OnRunOutput)
    ON_MESSAGE(WM_CONSOLE_CHAR, OnConsoleChar)
END_MESSAGE_MAP()

CRunTestDlg::CRunTestDlg() : CDialog(IDD_TEST_RUN) {}

BOOL CRunTestDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_output.SubclassDlgItem(IDC_OUTPUT, this);
    m_output.SetKeyAtATime(true); // every key reported, for the worker's tests
    return TRUE;
}

void CRunTestDlg::Record(UINT message)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.push_back(message);
}

std::vector<UINT> CRunTestDlg::RunMessages()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages;
}

std::vector<long> CRunTestDlg::PaneLengthsAtChar()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lengthsAtChar;
}

LRESULT CRunTestDlg::OnTestRun(WPARAM, LPARAM lParam)
{
    if (m_run.IsActive())
        return FALSE;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_messages.clear();
    }
    m_bRunning = true;
    m_output.Clear();
    ++m_nStarted;
    return m_run.Start(m_hWnd, reinterpret_cast<LPCTSTR>(lParam));
}

LRESULT CRunTestDlg::OnTestStop(WPARAM, LPARAM)
{
    return m_run.IsActive() && m_run.HasProcess() && m_run.Terminate();
}

LRESULT CRunTestDlg::OnTestCopy(WPARAM, LPARAM)
{
    m_output.CopyAll();
    return 0;
}

LRESULT CRunTestDlg::OnRunFinished(WPARAM, LPARAM)
{
    Record(WM_RUN_FINISHED);
    m_run.OnFinished();
    m_output.AppendText("\n--End--\n");
    m_bRunning = false;
    ++m_nFinished;
    return 0;
}

LRESULT CRunTestDlg::OnRunProcess(WPARAM wParam, LPARAM lParam)
{
    Record(WM_RUN_PROCESS);
    m_run.OnProcess(reinterpret_cast<HANDLE>(wParam), reinterpret_cast<HANDLE>(lParam));
    return 0;
}

LRESULT CRunTestDlg::OnRunStdin(WPARAM, LPARAM)
{
    Record(WM_RUN_STDIN);
    m_run.OnStdin();
    return 0;
}

LRESULT CRunTestDlg::OnRunOutput(WPARAM wParam, LPARAM lParam)
{
    m_output.AppendOutput(reinterpret_cast<const char*>(lParam), static_cast<size_t>(wParam));
    return 0;
}

LRESULT CRunTestDlg::OnConsoleChar(WPARAM wParam, LPARAM)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lengthsAtChar.push_back(m_output.GetTextLength());
    }
    char ch = static_cast<char>(wParam & 0xFF);
    if (!m_run.HasStdin())
        return 0;
    m_run.GetStdin().WriteKey(ch);
    return 0;
}

bool WaitForPane(HWND hDlg, const COutputPane& pane)
{
    return WaitUntil([&] {
        bool bBusy = true;
        OnUiThread(hDlg, [&] { bBusy = pane.IsCatchingUp(); });
        return !bBusy;
    });
}

std::string WholeOutput(HWND hDlg, COutputPane& pane)
{
    std::string text;
    OnUiThread(hDlg, [&] { pane.ReadWholeOutput("\r\n", [&](const std::string& piece) { text += piece; }); });
    return text;
}

HWND PaneOf(HWND hDlg)
{
    return ::GetDlgItem(hDlg, IDC_OUTPUT);
}

std::string PaneText(HWND hDlg)
{
    return WindowText(PaneOf(hDlg));
}

void TypeInto(HWND hPane, const std::string& text)
{
    for (char ch : text)
        ::PostMessageA(hPane, WM_CHAR, static_cast<unsigned char>(ch), 1);
}

} // namespace testsupport
