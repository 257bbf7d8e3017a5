// CBusyAnimation: a static control that plays an image strip on a worker
// thread of its own while a command runs, and stops on the last frame drawn.
//
// Design: the worker draws each frame straight into the control's window
// (no messages, no invalidation) and waits the delay between frames on the
// stop event, so that Stop never waits out a delay. It
// holds m_csLoop for its whole frame loop, so Stop can set the auto-reset
// stop event and then enter and leave the section: once it is in, the worker
// has stored the frame index and left its loop. The worker polls the event
// before and after each frame; a request seen before drawing takes back the
// last advance, so m_nCurFrame always names the frame on screen (except just
// after a wrap to 0, which stays 0).
//
// Stop also waits for the worker thread itself to end (the control owns its
// thread object), so a worker that had not yet reached its loop when Stop
// came cannot outlive the control: destroying the control never leaves a
// worker drawing into a dead window or touching a freed object. Such a
// worker still consumes the request at its first poll and steps the index
// back, as one inside its loop would. Start clears any request left over
// first. The worker draws into the window handle it was given at Start and
// nowhere else, and ends by itself when that window is gone; the control's
// WM_DESTROY stops it too.
//
// Threads: the user-interface thread calls every operation and paints. The
// worker reads m_hWndDraw, m_nDelay, m_nFrameCount, m_sizeFrame and the image
// list, which are written only while idle, and writes m_nCurFrame inside
// m_csLoop; the user-interface thread reads m_nCurFrame only while idle.
#pragma once

#include "platform/Afx.h"

#include <memory>

class CBusyAnimation : public CWnd {
public:
    CBusyAnimation();
    ~CBusyAnimation() override;

    // Takes the frames from bitmap resource nBitmapID cut into images cx
    // wide, with crMask transparent; sets the delay; fits the control to one
    // frame. A strip that cannot be loaded leaves no frames, and Start then
    // does nothing.
    void Load(UINT nBitmapID, int cx, int nDelay, COLORREF crMask);
    // Starts the animation from the frame on screen, stopping a running one
    // first.
    void Start();
    // Ends the animation; returns once the worker has ended. Nothing while
    // idle.
    void Stop();

    bool IsRunning() const { return static_cast<bool>(m_pThread); }

protected:
    // Called when the control needs painting: redraws the current frame while
    // idle, and follows a change of the dialog face colour.
    void OnPaint();
    // Called when the control is being destroyed: the animation stops.
    void OnDestroy();
    // Draws a frame into hWnd; false when the window is gone.
    bool DrawFrame(HWND hWnd, int nFrame);
    void MeasureFrames();
    static UINT AnimationThread(LPVOID pParam);

    DECLARE_MESSAGE_MAP()

protected:
    int m_nDelay = 0;              // written by Load while idle; read by the worker
    CCriticalSection m_csLoop;     // held by the worker for its whole frame loop
    CEvent m_evStop;               // stop request: auto-reset; any thread
    std::unique_ptr<CWinThread> m_pThread; // the worker, waited for by Stop; user-interface thread only
    HWND m_hWndDraw = nullptr;     // written by Start while idle; read by the worker
    CImageList m_imageList;        // written by Load (idle) and OnPaint (after Stop)
    int m_nFrameCount = 0;         // written by Load while idle; read by the worker
    int m_nCurFrame = 0;           // written by the worker inside m_csLoop, else UI thread while idle
    CSize m_sizeFrame;             // written by Load while idle; read by the worker
    COLORREF m_crBack;             // user-interface thread only
};
