// CAboutBox from the program's own resources: its links' targets and
// tooltips. (Wine shows a tooltip only over an active window, so the
// tooltip texts are read in-process rather than by hovering.)
#include "widgets/AboutBox.h"

#include "ModalRunner.h"
#include "Pump.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace testsupport;

namespace {

struct TipSearch {
    HWND hLabel;
    std::string found;
};

BOOL CALLBACK AskTooltip(HWND hWnd, LPARAM lParam)
{
    auto* search = reinterpret_cast<TipSearch*>(lParam);
    char cls[32] = "";
    ::GetClassNameA(hWnd, cls, sizeof cls);
    if (lstrcmpiA(cls, TOOLTIPS_CLASSA) != 0)
        return TRUE;
    char text[256] = "";
    TOOLINFOA ti{};
    ti.cbSize = TTTOOLINFOA_V1_SIZE;
    ti.hwnd = search->hLabel;
    ti.uId = 1;
    ti.lpszText = text;
    ::SendMessageA(hWnd, TTM_GETTEXTA, 0, reinterpret_cast<LPARAM>(&ti));
    if (text[0] != '\0')
        search->found = text;
    return TRUE;
}

// The text of tool 1 of the label, from the tooltip windows of this thread.
std::string TipOf(HWND hLabel)
{
    TipSearch search{ hLabel, "" };
    ::EnumThreadWindows(::GetCurrentThreadId(), &AskTooltip, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

constexpr UINT WM_ABOUT_TIPS = WM_APP + 110; // lParam: std::vector<std::string>* for the two tips

class CAboutProbe : public CAboutBox {
protected:
    LRESULT OnTips(WPARAM, LPARAM lParam)
    {
        auto* tips = reinterpret_cast<std::vector<std::string>*>(lParam);
        tips->push_back(TipOf(m_mailLink.m_hWnd));
        tips->push_back(TipOf(m_homeLink.m_hWnd));
        tips->push_back(static_cast<LPCTSTR>(m_mailLink.GetTarget()));
        tips->push_back(static_cast<LPCTSTR>(m_homeLink.GetTarget()));
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CAboutProbe, CAboutBox)
    ON_MESSAGE(WM_ABOUT_TIPS, OnTips)
END_MESSAGE_MAP()

} // namespace

TEST(AboutBox, EachLinkTargetsAndTipsItsAddressAndOkCloses)
{
    CAboutProbe box;
    std::vector<std::string> tips;
    HWND hFocus = nullptr, hOk = nullptr;
    INT_PTR result = RunModalWith(box, [&](HWND hDlg) {
        ::SendMessageA(hDlg, WM_ABOUT_TIPS, 0, reinterpret_cast<LPARAM>(&tips));
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        ::GetGUIThreadInfo(::GetWindowThreadProcessId(hDlg, nullptr), &info);
        hFocus = info.hwndFocus;
        hOk = ::GetDlgItem(hDlg, IDOK);
        ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(hOk));
        WaitUntil([&] { return !::IsWindow(hDlg); });
    });
    EXPECT_EQ(IDOK, result);
    ASSERT_EQ(4u, tips.size());
    EXPECT_EQ("mailto:quorvel@example.org", tips[0]);
    EXPECT_EQ("https://www.example.org/vorlik/", tips[1]);
    EXPECT_EQ(tips[0], tips[2]);
    EXPECT_EQ(tips[1], tips[3]);
    EXPECT_EQ(hOk, hFocus) << "the focus starts on OK";
}
