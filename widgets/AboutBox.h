// CAboutBox: the modal box behind Help > About, with the e-mail and
// homepage links.
#pragma once

#include "widgets/LinkLabel.h"

class CAboutBox : public CDialog {
public:
    CAboutBox();

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    CLinkLabel m_mailLink;
    CLinkLabel m_homeLink;
};
