#include "widgets/BusyAnimation.h"

BEGIN_MESSAGE_MAP(CBusyAnimation, CWnd)
    ON_WM_PAINT()
    ON_WM_DESTROY()
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
    if (m_pThread)
        Stop();
    if (m_nFrameCount <= 0 || !::IsWindow(m_hWnd))
        return; // no frames or no window: no worker ever runs
    m_evStop.ResetEvent(); // a request no worker consumed is not this one's
    m_hWndDraw = m_hWnd;
    CWinThread* pThread = AfxBeginThread(&CBusyAnimation::AnimationThread, this, THREAD_PRIORITY_NORMAL, 0,
                                         CREATE_SUSPENDED, nullptr);
    if (pThread == nullptr)
        return;
    pThread->m_bAutoDelete = FALSE;
    m_pThread.reset(pThread);
    m_pThread->ResumeThread();
}

void CBusyAnimation::Stop()
{
    if (!m_pThread)
        return;
    m_evStop.SetEvent();
    m_csLoop.Lock();
    m_csLoop.Unlock();
    ::WaitForSingleObject(m_pThread->m_hThread, INFINITE);
    m_pThread.reset();
}

void CBusyAnimation::OnDestroy()
{
    Stop();
    Default();
}

bool CBusyAnimation::DrawFrame(HWND hWnd, int nFrame)
{
    if (hWnd == nullptr || !::IsWindow(hWnd))
        return false;
    HDC hdc = ::GetDC(hWnd);
    if (hdc == nullptr)
        return false;
    m_imageList.DrawIndirect(hdc, nFrame, POINT{ 0, 0 }, m_sizeFrame, POINT{ 0, 0 }, ILD_NORMAL, SRCCOPY,
                             CLR_DEFAULT, CLR_DEFAULT);
    ::ReleaseDC(hWnd, hdc);
    return true;
}

UINT CBusyAnimation::AnimationThread(LPVOID pParam)
{
    CBusyAnimation* pThis = static_cast<CBusyAnimation*>(pParam);
    const HWND hWnd = pThis->m_hWndDraw; // taken once: the worker draws nowhere else
    pThis->m_csLoop.Lock();
    int n = pThis->m_nCurFrame;
    const int nFrameCount = pThis->m_nFrameCount;
    const DWORD nDelay = static_cast<DWORD>(pThis->m_nDelay);
    for (;;) {
        if (::WaitForSingleObject(pThis->m_evStop, 0) == WAIT_OBJECT_0) {
            n = n - 1 < 0 ? 0 : n - 1;
            break;
        }
        if (!pThis->DrawFrame(hWnd, n))
            break; // the window is gone
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
        if (!m_pThread)
            DrawFrame(m_hWnd, m_nCurFrame);
        return;
    }
    bool bRunning = static_cast<bool>(m_pThread);
    if (bRunning)
        Stop();
    m_imageList.SetBkColor(c);
    if (bRunning)
        Start();
    else
        DrawFrame(m_hWnd, m_nCurFrame);
    m_crBack = c;
}
