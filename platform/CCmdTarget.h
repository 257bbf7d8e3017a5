// CCmdTarget: the root of every class with a message map (windows and the
// application object). It owns the map walk; CWnd decides what to look up.
#pragma once

#include "platform/MessageMap.h"

class CCmdTarget {
public:
    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;
    virtual ~CCmdTarget() = default;

    // Runs the handler of a command (menu item, button, accelerator) with
    // this id and notification code; false when no entry takes it.
    virtual bool OnCmdMsg(UINT nID, int nCode);

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;

    // Finds the first entry for nMessage, walking from this class's map to its
    // bases. For WM_COMMAND entries nCode and nID must match too; for
    // reflected WM_COMMAND entries nCode must.
    const AFX_MSGMAP_ENTRY* FindEntry(UINT nMessage, UINT nCode, UINT nID) const;
};
