#include "platform/CEvent.h"

#include "platform/CException.h"

CEvent::CEvent(BOOL bInitiallyOwn, BOOL bManualReset, LPCTSTR lpszName, LPSECURITY_ATTRIBUTES lpsaAttribute)
    : m_hObject(::CreateEventA(lpsaAttribute, bManualReset, bInitiallyOwn, lpszName))
{
    if (!m_hObject)
        throw CResourceException();
}

BOOL CEvent::Lock(DWORD dwTimeout) noexcept
{
    return ::WaitForSingleObject(m_hObject.get(), dwTimeout) == WAIT_OBJECT_0;
}
