// Synchronisation objects: CEvent (an owned Win32 event) and CCriticalSection.
#pragma once

#include "platform/UniqueHandle.h"

class CEvent {
public:
    // Auto-reset unless bManualReset: a wait that sees it set also clears it.
    // Throws CResourceException when the system has no event to give.
    explicit CEvent(BOOL bInitiallyOwn = FALSE, BOOL bManualReset = FALSE, LPCTSTR lpszName = nullptr,
                    LPSECURITY_ATTRIBUTES lpsaAttribute = nullptr);
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    BOOL SetEvent() noexcept { return ::SetEvent(m_hObject.get()); }
    BOOL ResetEvent() noexcept { return ::ResetEvent(m_hObject.get()); }
    // True when the event was set within dwTimeout milliseconds.
    BOOL Lock(DWORD dwTimeout = INFINITE) noexcept;
    operator HANDLE() const noexcept { return m_hObject.get(); }

private:
    CHandle m_hObject; // any thread: the Win32 event calls are thread-safe
};

class CCriticalSection {
public:
    CCriticalSection() noexcept { ::InitializeCriticalSection(&m_sect); }
    ~CCriticalSection() { ::DeleteCriticalSection(&m_sect); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    BOOL Lock() noexcept
    {
        ::EnterCriticalSection(&m_sect);
        return TRUE;
    }
    BOOL Unlock() noexcept
    {
        ::LeaveCriticalSection(&m_sect);
        return TRUE;
    }

private:
    CRITICAL_SECTION m_sect; // any thread, through the Win32 calls only
};

// Holds a critical section for the life of a scope.
class CSingleLock {
public:
    explicit CSingleLock(CCriticalSection& section) noexcept : m_section(section) { m_section.Lock(); }
    ~CSingleLock() { m_section.Unlock(); }
    CSingleLock(const CSingleLock&) = delete;
    CSingleLock& operator=(const CSingleLock&) = delete;

private:
    CCriticalSection& m_section;
};
