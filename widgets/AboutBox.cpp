#include "widgets/AboutBox.h"

#include "res/about.h"
#include "res/resource.h"

CAboutBox::CAboutBox() : CDialog(IDD_ABOUTBOX) {}

void CAboutBox::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
}

BOOL CAboutBox::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_mailLink.SubclassDlgItem(IDC_MAILTO, this);
    m_mailLink.SetTarget(ABOUT_MAILTO);
    m_homeLink.SubclassDlgItem(IDC_HOMEPAGE, this);
    m_homeLink.SetTarget(ABOUT_HOMEPAGE);
    return TRUE;
}
