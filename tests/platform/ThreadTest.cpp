// Worker threads and synchronisation: a message sent from a worker is handled
// on the user-interface thread while the worker waits; thread objects delete
// themselves; CEvent resets itself.
#include "platform/Afx.h"

#include "MessageBoxes.h"
#include "ModalRunner.h"
#include "Pump.h"
#include "TestResource.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

using namespace testsupport;

namespace {

constexpr UINT WM_FROM_WORKER = WM_APP + 20;

class CWorkerDlg : public CDialog {
public:
    CWorkerDlg() : CDialog(IDD_TEST_DIALOG) {}

    std::atomic<bool> m_bWorkerReturned{ false }; // worker writes, both read
    std::atomic<LRESULT> m_nWorkerGot{ 0 };
    DWORD m_nHandlerThread = 0;        // UI thread only
    bool m_bWorkerWaitedInHandler = false; // UI thread only
    bool m_bStarted = false;

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_bStarted = AfxBeginThread(&CWorkerDlg::Worker, this) != nullptr;
        return TRUE;
    }
    static UINT Worker(LPVOID pParam)
    {
        auto* pDlg = static_cast<CWorkerDlg*>(pParam);
        pDlg->m_nWorkerGot = ::SendMessageA(pDlg->m_hWnd, WM_FROM_WORKER, 41, 0);
        pDlg->m_bWorkerReturned = true;
        return 0;
    }
    LRESULT OnFromWorker(WPARAM wParam, LPARAM)
    {
        m_nHandlerThread = ::GetCurrentThreadId();
        ::Sleep(50); // the worker must still be waiting after this
        m_bWorkerWaitedInHandler = !m_bWorkerReturned;
        return static_cast<LRESULT>(wParam) + 1;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CWorkerDlg, CDialog)
    ON_MESSAGE(WM_FROM_WORKER, OnFromWorker)
END_MESSAGE_MAP()

} // namespace

TEST(Thread, AMessageSentFromAWorkerRunsOnTheUserInterfaceThread)
{
    long before = CWinThread::GetObjectCount();
    CWorkerDlg dlg;
    RunModalWith(dlg, [&](HWND) { WaitUntil([&] { return dlg.m_bWorkerReturned.load(); }); });
    EXPECT_TRUE(dlg.m_bStarted);
    EXPECT_EQ(42, dlg.m_nWorkerGot);
    EXPECT_EQ(::GetCurrentThreadId(), dlg.m_nHandlerThread);
    EXPECT_TRUE(dlg.m_bWorkerWaitedInHandler);
    EXPECT_TRUE(WaitUntil([&] { return CWinThread::GetObjectCount() == before; }))
        << "the thread object deletes itself";
}

namespace {

struct Job {
    CEvent go;                       // set by the test
    std::atomic<int> nRuns{ 0 };     // worker writes
    std::atomic<int> nPriority{ 0 }; // worker writes
};

UINT RunJob(LPVOID pParam)
{
    auto* job = static_cast<Job*>(pParam);
    job->nPriority = ::GetThreadPriority(::GetCurrentThread());
    job->go.Lock();
    ++job->nRuns;
    return 0;
}

UINT ThrowingJob(LPVOID)
{
    throw CException("The worker failed.");
}

} // namespace

TEST(Thread, BeginThreadPassesItsArgumentsAndTheObjectDeletesItself)
{
    long before = CWinThread::GetObjectCount();
    Job job;
    CWinThread* pThread = AfxBeginThread(&RunJob, &job, THREAD_PRIORITY_BELOW_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(nullptr, pThread);
    EXPECT_EQ(before + 1, CWinThread::GetObjectCount());
    ::Sleep(20);
    EXPECT_EQ(0, job.nPriority) << "a suspended thread has not run";
    pThread->ResumeThread();
    job.go.SetEvent();
    EXPECT_TRUE(WaitUntil([&] { return job.nRuns == 1 && CWinThread::GetObjectCount() == before; }));
    EXPECT_EQ(THREAD_PRIORITY_BELOW_NORMAL, job.nPriority);
}

TEST(Thread, AnExceptionLeavingAWorkerIsReportedAndItsObjectDeleted)
{
    MessageBoxWatcher boxes;
    long before = CWinThread::GetObjectCount();
    ASSERT_NE(nullptr, AfxBeginThread(&ThrowingJob, nullptr));
    EXPECT_TRUE(WaitUntil([&] { return boxes.Count() == 1 && CWinThread::GetObjectCount() == before; }));
    ASSERT_EQ(1u, boxes.Count());
    EXPECT_EQ("The worker failed.", boxes.Seen()[0].text);
}

TEST(Thread, AnAutoResetEventClearsWhenAWaitSeesIt)
{
    CEvent autoReset;
    EXPECT_FALSE(autoReset.Lock(0));
    autoReset.SetEvent();
    EXPECT_TRUE(autoReset.Lock(0));
    EXPECT_FALSE(autoReset.Lock(0)) << "the first wait consumed it";

    CEvent manual(FALSE, TRUE);
    manual.SetEvent();
    EXPECT_TRUE(manual.Lock(0));
    EXPECT_TRUE(manual.Lock(0));
    manual.ResetEvent();
    EXPECT_FALSE(manual.Lock(0));

    CEvent initiallySet(TRUE);
    EXPECT_TRUE(initiallySet.Lock(0));
}

TEST(Thread, ACriticalSectionExcludesTheOtherThread)
{
    CCriticalSection section;
    std::atomic<bool> entered{ false };
    section.Lock();
    CWinThread* pThread = AfxBeginThread(
        [](LPVOID p) -> UINT {
            auto* args = static_cast<std::pair<CCriticalSection*, std::atomic<bool>*>*>(p);
            args->first->Lock();
            *args->second = true;
            args->first->Unlock();
            return 0;
        },
        new std::pair<CCriticalSection*, std::atomic<bool>*>(&section, &entered));
    ASSERT_NE(nullptr, pThread);
    ::Sleep(50);
    EXPECT_FALSE(entered) << "the worker waits while the section is held";
    section.Unlock();
    EXPECT_TRUE(WaitUntil([&] { return entered.load(); }));
}

TEST(Handles, CountingSeesHandlesComeAndGo)
{
    long before = afx::CountOpenHandles();
    {
        std::vector<CHandle> events;
        for (int i = 0; i < 10; ++i)
            events.emplace_back(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
        EXPECT_EQ(before + 10, afx::CountOpenHandles());
    }
    EXPECT_EQ(before, afx::CountOpenHandles()) << "the owners closed them";
}
