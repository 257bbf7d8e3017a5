// CStatic: a static control bound to an object; the base of the widgets that
// draw or react in a static's place. It adds nothing to CWnd's map.
#pragma once

#include "platform/CWnd.h"

class CStatic : public CWnd {};
