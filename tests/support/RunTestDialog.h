// A dialog that owns an output pane and handles the run messages the way the
// main dialog does, for tests of the run worker and the pane. A script on
// another thread starts runs with SendMessage(WM_TEST_RUN) and watches the
// observations below.
#pragma once

#include "console/OutputPane.h"
#include "platform/Afx.h"
#include "runner/RunSession.h"

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace testsupport {

constexpr UINT WM_TEST_RUN = WM_APP + 50;  // lParam: the command text
constexpr UINT WM_TEST_STOP = WM_APP + 51; // terminates the child
constexpr UINT WM_TEST_COPY = WM_APP + 52; // the pane's CopyAll

class CRunTestDlg : public CDialog {
public:
    CRunTestDlg();

    // Observations; any thread.
    std::vector<UINT> RunMessages();
    std::vector<long> PaneLengthsAtChar();
    std::atomic<int> m_nFinished{ 0 };
    std::atomic<int> m_nStarted{ 0 };
    std::atomic<bool> m_bRunning{ false };

    COutputPane m_output;
    CRunSession m_run;

protected:
    BOOL OnInitDialog() override;
    LRESULT OnTestRun(WPARAM wParam, LPARAM lParam);
    LRESULT OnTestStop(WPARAM wParam, LPARAM lParam);
    LRESULT OnTestCopy(WPARAM wParam, LPARAM lParam);
    LRESULT OnRunFinished(WPARAM wParam, LPARAM lParam);
    LRESULT OnRunProcess(WPARAM wParam, LPARAM lParam);
    LRESULT OnRunStdin(WPARAM wParam, LPARAM lParam);
    LRESULT OnRunOutput(WPARAM wParam, LPARAM lParam);
    LRESULT OnConsoleChar(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    void Record(UINT message);

    std::mutex m_mutex;
    std::vector<UINT> m_messages;       // guarded by m_mutex
    std::vector<long> m_lengthsAtChar;  // guarded by m_mutex
};

// Waits until the pane has shown everything it was given; any thread.
bool WaitForPane(HWND hDlg, const COutputPane& pane);
// The whole output as Save and Copy take it, lines ending in CR LF; any
// thread.
std::string WholeOutput(HWND hDlg, COutputPane& pane);
// The pane's whole text, read with window messages from any thread.
std::string PaneText(HWND hDlg);
// Posts each character as WM_CHAR to the pane.
void TypeInto(HWND hPane, const std::string& text);
HWND PaneOf(HWND hDlg);

} // namespace testsupport
