#include "widgets/BusyAnimation.h"

BEGIN_MESSAGE_MAP(CBusyAnimation, CWnd)
    ON_WM_PAINT()
END_MESSAGE_MAP()

CBusyAnimation::CBusyAnimation() : m_crBack(::GetSysColor(COLOR_BTNFACE)) {}

CBusyAnimation::~CBusyAnimation()
{
    Stop();
    m_imageList.DeleteImageList();
}

void CBusyAnimation::Load(UINT nBitmapID, int cx, int nDelay, COLORREF crMask)
{
    m_imageList.DeleteImageList();
    m_imageList.Create(nBitmapID, cx, 1, crMask);
    m_imageList.SetBkColor(m_crBack);
    m_sizeFrame.cx = cx;
    m_nDelay = nDelay;
    MeasureFrames();

    CRect rcWindow;
    CRect rcClient;
    GetWindowRect(rcWindow);
    GetClientRect(rcClient);
    SetWindowPos(nullptr, 0, 0, rcWindow.Width() - rcClient.Width() + m_sizeFrame.cx,
                 rcWindow.Height() - rcClient.Height() + m_sizeFrame.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW);
}

void CBusyAnimation::MeasureFrames()
{
    IMAGEINFO info{};
    m_sizeFrame.cy = m_imageList.GetImageInfo(0, &info) ? info.rcImage.bottom - info.rcImage.top : 0;
    m_nFrameCount = m_imageList.GetImageCount();
    if (m_nCurFrame >= m_nFrameCount)
        m_nCurFrame = 0;
}

void CBusyAnimation::Start()
{
    if (m_pThread != nullptr)
        Stop();
    if (m_nFrameCount <= 0)
        return; // no frames: no worker ever runs
    CWinThread* pThread = AfxBeginThread(&CBusyAnimation::AnimationThread, this, THREAD_PRIORITY_NORMAL, 0,
                                         CREATE_SUSPENDED, nullptr);
    if (pThread == nullptr)
        return;
    HANDLE hDup = nullptr;
    HANDLE self = ::GetCurrentProcess();
    ::DuplicateHandle(self, pThread->m_hThread, self, &hDup, SYNCHRONIZE, FALSE, 0);
    m_hWorker.reset(hDup);
    m_pThread = pThread;
    pThread->ResumeThread(); // pThread may be gone from here on
}

void CBusyAnimation::Stop()
{
    if (m_pThread == nullptr)
        return;
    m_evStop.SetEvent();
    m_csLoop.Lock();
    m_csLoop.Unlock();
    if (m_hWorker)
        ::WaitForSingleObject(m_hWorker.get(), INFINITE);
    m_hWorker.reset();
    m_pThread = nullptr;
}

void CBusyAnimation::DrawFrame(int nFrame)
{
    if (!::IsWindow(m_hWnd))
        return;
    HDC hdc = ::GetDC(m_hWnd);
    m_imageList.DrawIndirect(hdc, nFrame, POINT{ 0, 0 }, m_sizeFrame, POINT{ 0, 0 }, ILD_NORMAL, SRCCOPY,
                             CLR_DEFAULT, CLR_DEFAULT);
    ::ReleaseDC(m_hWnd, hdc);
}

UINT CBusyAnimation::AnimationThread(LPVOID pParam)
{
    CBusyAnimation* pThis = static_cast<CBusyAnimation*>(pParam);
    if (!::IsWindow(pThis->m_hWnd))
        return 0;
    pThis->m_csLoop.Lock();
    int n = pThis->m_nCurFrame;
    const int nFrameCount = pThis->m_nFrameCount;
    const DWORD nDelay = static_cast<DWORD>(pThis->m_nDelay);
    for (;;) {
        if (::WaitForSingleObject(pThis->m_evStop, 0) == WAIT_OBJECT_0) {
            n = n - 1 < 0 ? 0 : n - 1;
            break;
        }
        pThis->DrawFrame(n);
        if (::WaitForSingleObject(pThis->m_evStop, 0) == WAIT_OBJECT_0)
            break;
        // The delay, cut short by a stop request: that request counts as
        // one seen before the next frame, so Stop does not wait out the
        // delay.
        bool bStopped = ::WaitForSingleObject(pThis->m_evStop, nDelay) == WAIT_OBJECT_0;
        n = (n + 1) % nFrameCount;
        if (bStopped) {
            n = n - 1 < 0 ? 0 : n - 1;
            break;
        }
    }
    pThis->m_nCurFrame = n;
    pThis->m_csLoop.Unlock();
    return 0;
}

void CBusyAnimation::OnPaint()
{
    CPaintDC dc(m_hWnd);
    COLORREF c = ::GetSysColor(COLOR_BTNFACE);
    if (c == m_crBack) {
        if (m_pThread == nullptr)
            DrawFrame(m_nCurFrame);
        return;
    }
    bool bRunning = m_pThread != nullptr;
    if (bRunning)
        Stop();
    m_imageList.SetBkColor(c);
    if (bRunning)
        Start();
    else
        DrawFrame(m_nCurFrame);
    m_crBack = c;
}
