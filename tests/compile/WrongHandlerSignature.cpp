// Must not compile: a button handler takes no arguments.
#include "platform/Afx.h"

class CBadDialog : public CDialog {
public:
    CBadDialog() : CDialog(1) {}
    void OnRun(int) {}
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBadDialog, CDialog)
    ON_BN_CLICKED(1, OnRun)
END_MESSAGE_MAP()
