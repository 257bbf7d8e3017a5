// CLinkLabel on real static controls: fitting, target and tooltip rules,
// colours, hover with capture, the error texts and the .htm fallback.
#include "widgets/LinkLabel.h"

#include "ChildProcess.h"
#include "MessageBoxes.h"
#include "ModalRunner.h"
#include "Pump.h"
#include "TestFiles.h"
#include "TestResource.h"
#include "WindowText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

using namespace testsupport;

namespace {

constexpr UINT WM_LT_ERROR = WM_APP + 100;  // wParam: code
constexpr UINT WM_LT_STATE = WM_APP + 101;  // wParam: id; 1 hovered, 2 visited
constexpr UINT WM_LT_TIP = WM_APP + 102;    // wParam: id, lParam: std::string* for the tooltip text
constexpr UINT WM_LT_TARGET = WM_APP + 103; // wParam: id, lParam: new target
constexpr UINT WM_LT_MARK = WM_APP + 104;   // wParam: id, lParam: visited

class CProbeLabel : public CLinkLabel {
public:
    using CLinkLabel::ShowOpenError;
    bool Hovered() const { return m_isHovered != FALSE; }
    CString TipText() { return m_toolTip.GetText(this, 1); }
};

const int kIds[] = { IDC_LINK_LEFT, IDC_LINK_RIGHT, IDC_LINK_CENTER, IDC_LINK_VCENTER,
                     IDC_LINK_NARROW, IDC_LINK_EMPTY, IDC_LINK_BLANK, IDC_LINK_PRESET };

class CLinkTestDlg : public CDialog {
public:
    CLinkTestDlg() : CDialog(IDD_TEST_LINKS)
    {
        m_labels[IDC_LINK_EMPTY].SetTarget("target shown");
        CProbeLabel& preset = m_labels[IDC_LINK_PRESET];
        preset.SetColors(RGB(1, 2, 3), RGB(4, 5, 6), RGB(7, 8, 9));
        preset.SetUnderlined(FALSE);
        preset.SetFitToText(FALSE);
        preset.SetHandCursor(::LoadCursor(nullptr, IDC_CROSS));
    }

    std::map<int, CProbeLabel> m_labels;
    std::map<int, CRect> m_template; // rectangles before attaching

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        for (int id : kIds) {
            CRect rc;
            ::GetWindowRect(GetDlgItem(id), rc);
            ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
            m_template[id] = rc;
            m_labels[id].SubclassDlgItem(id, this);
        }
        return TRUE;
    }
    LRESULT OnError(WPARAM wParam, LPARAM)
    {
        m_labels[IDC_LINK_LEFT].ShowOpenError(static_cast<int>(wParam));
        return 0;
    }
    LRESULT OnState(WPARAM wParam, LPARAM)
    {
        CProbeLabel& l = m_labels[static_cast<int>(wParam)];
        return (l.Hovered() ? 1 : 0) | (l.IsVisited() ? 2 : 0);
    }
    LRESULT OnTip(WPARAM wParam, LPARAM lParam)
    {
        *reinterpret_cast<std::string*>(lParam) = static_cast<LPCTSTR>(m_labels[static_cast<int>(wParam)].TipText());
        return 0;
    }
    LRESULT OnTarget(WPARAM wParam, LPARAM lParam)
    {
        m_labels[static_cast<int>(wParam)].SetTarget(reinterpret_cast<LPCTSTR>(lParam));
        return 0;
    }
    LRESULT OnMark(WPARAM wParam, LPARAM lParam)
    {
        m_labels[static_cast<int>(wParam)].MarkVisited(static_cast<BOOL>(lParam));
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CLinkTestDlg, CDialog)
    ON_MESSAGE(WM_LT_ERROR, OnError)
    ON_MESSAGE(WM_LT_STATE, OnState)
    ON_MESSAGE(WM_LT_TIP, OnTip)
    ON_MESSAGE(WM_LT_TARGET, OnTarget)
    ON_MESSAGE(WM_LT_MARK, OnMark)
END_MESSAGE_MAP()

SIZE Extent(HWND hCtl)
{
    char text[256] = "";
    ::GetWindowTextA(hCtl, text, sizeof text);
    HDC hdc = ::GetDC(hCtl);
    HGDIOBJ old = ::SelectObject(hdc, reinterpret_cast<HFONT>(::SendMessageA(hCtl, WM_GETFONT, 0, 0)));
    SIZE sz{};
    ::GetTextExtentPoint32A(hdc, text, lstrlenA(text), &sz);
    ::SelectObject(hdc, old);
    ::ReleaseDC(hCtl, hdc);
    return sz;
}

struct Colours {
    COLORREF text;
    int mode;
    LRESULT brush;
};

Colours AskColours(HWND hDlg, int id)
{
    HDC hdc = ::CreateCompatibleDC(nullptr);
    ::SetTextColor(hdc, RGB(9, 9, 9));
    ::SetBkMode(hdc, OPAQUE);
    LRESULT brush = ::SendMessageA(hDlg, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(hdc),
                                   reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, id)));
    Colours c{ ::GetTextColor(hdc), ::GetBkMode(hdc), brush };
    ::DeleteDC(hdc);
    return c;
}

} // namespace

TEST(LinkLabel, FitsTheControlToItsTextKeepingItsAlignment)
{
    CLinkTestDlg dlg;
    std::map<int, CRect> fitted;
    std::map<int, SIZE> extent;
    RunModalWith(dlg, [&](HWND hDlg) {
        for (int id : kIds) {
            fitted[id] = ChildRect(hDlg, id);
            extent[id] = Extent(::GetDlgItem(hDlg, id));
        }
    });
    const CRect& l0 = dlg.m_template[IDC_LINK_LEFT];
    const CRect& l1 = fitted[IDC_LINK_LEFT];
    EXPECT_EQ(l0.left, l1.left);
    EXPECT_EQ(l0.top, l1.top);
    EXPECT_EQ(extent[IDC_LINK_LEFT].cx, l1.Width());
    EXPECT_EQ(extent[IDC_LINK_LEFT].cy, l1.Height());

    const CRect& r0 = dlg.m_template[IDC_LINK_RIGHT];
    const CRect& r1 = fitted[IDC_LINK_RIGHT];
    EXPECT_EQ(r0.right, r1.right);
    EXPECT_EQ(extent[IDC_LINK_RIGHT].cx, r1.Width());

    const CRect& c0 = dlg.m_template[IDC_LINK_CENTER];
    const CRect& c1 = fitted[IDC_LINK_CENTER];
    int d = c0.Width() - extent[IDC_LINK_CENTER].cx;
    EXPECT_EQ(c0.left + d / 2, c1.left);
    EXPECT_EQ(c0.right - d / 2, c1.right);
    EXPECT_EQ(extent[IDC_LINK_CENTER].cx + d % 2, c1.Width()) << "an odd difference leaves one pixel more";

    const CRect& v0 = dlg.m_template[IDC_LINK_VCENTER];
    const CRect& v1 = fitted[IDC_LINK_VCENTER];
    int dy = v0.Height() - extent[IDC_LINK_VCENTER].cy;
    EXPECT_EQ(v0.top + dy / 2, v1.top);
    EXPECT_EQ(v0.bottom - dy / 2, v1.bottom);

    EXPECT_GT(fitted[IDC_LINK_NARROW].Width(), dlg.m_template[IDC_LINK_NARROW].Width()) << "wider text grows it";
    EXPECT_EQ(extent[IDC_LINK_NARROW].cx, fitted[IDC_LINK_NARROW].Width());

    EXPECT_TRUE(::EqualRect(dlg.m_template[IDC_LINK_PRESET], fitted[IDC_LINK_PRESET]))
        << "fitting switched off before attaching";
}

TEST(LinkLabel, TargetTextAndTooltipFollowTheRules)
{
    CLinkTestDlg dlg;
    std::string leftTarget, leftTip, leftText, newTip, newText, emptyText, emptyTip, blankText, blankTarget;
    RunModalWith(dlg, [&](HWND hDlg) {
        leftTarget = static_cast<LPCTSTR>(dlg.m_labels[IDC_LINK_LEFT].GetTarget());
        ::SendMessageA(hDlg, WM_LT_TIP, IDC_LINK_LEFT, reinterpret_cast<LPARAM>(&leftTip));
        ::SendMessageA(hDlg, WM_LT_TARGET, IDC_LINK_LEFT, reinterpret_cast<LPARAM>("https://example.org/"));
        ::SendMessageA(hDlg, WM_LT_TIP, IDC_LINK_LEFT, reinterpret_cast<LPARAM>(&newTip));
        newText = WindowText(::GetDlgItem(hDlg, IDC_LINK_LEFT));
        emptyText = WindowText(::GetDlgItem(hDlg, IDC_LINK_EMPTY));
        ::SendMessageA(hDlg, WM_LT_TIP, IDC_LINK_EMPTY, reinterpret_cast<LPARAM>(&emptyTip));
        blankText = WindowText(::GetDlgItem(hDlg, IDC_LINK_BLANK));
        blankTarget = static_cast<LPCTSTR>(dlg.m_labels[IDC_LINK_BLANK].GetTarget());
    });
    EXPECT_EQ("Left link", leftTarget) << "no target: the text is the target";
    EXPECT_EQ("Left link", leftTip);
    EXPECT_EQ("https://example.org/", newTip);
    EXPECT_EQ("Left link", newText) << "SetTarget never changes the text";
    EXPECT_EQ("target shown", emptyText) << "no text: the target is shown";
    EXPECT_EQ("target shown", emptyTip);
    EXPECT_EQ("", blankText);
    EXPECT_EQ("", blankTarget);
}

TEST(LinkLabel, SettersBeforeAttachingAreAppliedByAttaching)
{
    CLinkTestDlg dlg;
    LOGFONTA lf{};
    HCURSOR cursor = nullptr;
    Colours colours{};
    RunModalWith(dlg, [&](HWND hDlg) {
        HWND hCtl = ::GetDlgItem(hDlg, IDC_LINK_PRESET);
        ::GetObjectA(reinterpret_cast<HFONT>(::SendMessageA(hCtl, WM_GETFONT, 0, 0)), sizeof lf, &lf);
        cursor = dlg.m_labels[IDC_LINK_PRESET].GetHandCursor();
        colours = AskColours(hDlg, IDC_LINK_PRESET);
    });
    EXPECT_EQ(0, lf.lfUnderline);
    EXPECT_EQ(::LoadCursor(nullptr, IDC_CROSS), cursor);
    EXPECT_EQ(RGB(1, 2, 3), colours.text);
    EXPECT_NE(nullptr, dlg.m_labels[IDC_LINK_LEFT].GetHandCursor()) << "the hand cursor from the resources";
}

TEST(LinkLabel, HoverWinsOverVisitedOverPlainAndHoldsTheCapture)
{
    CLinkTestDlg dlg;
    Colours plain{}, visited{}, hovered{}, left{};
    HWND captureWhileHovered = nullptr, captureAfter = reinterpret_cast<HWND>(1);
    LRESULT stateHovered = 0, stateAfter = 0;
    const CLinkLabel& label = dlg.m_labels[IDC_LINK_LEFT];
    RunModalWith(dlg, [&](HWND hDlg) {
        HWND hCtl = ::GetDlgItem(hDlg, IDC_LINK_LEFT);
        DWORD uiThread = ::GetWindowThreadProcessId(hDlg, nullptr);
        plain = AskColours(hDlg, IDC_LINK_LEFT);
        ::SendMessageA(hDlg, WM_LT_MARK, IDC_LINK_LEFT, TRUE);
        visited = AskColours(hDlg, IDC_LINK_LEFT);
        ::SendMessageA(hCtl, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
        hovered = AskColours(hDlg, IDC_LINK_LEFT);
        stateHovered = ::SendMessageA(hDlg, WM_LT_STATE, IDC_LINK_LEFT, 0);
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        ::GetGUIThreadInfo(uiThread, &info);
        captureWhileHovered = info.hwndCapture;
        ::SendMessageA(hCtl, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2)); // still inside: nothing changes
        ::SendMessageA(hCtl, WM_MOUSEMOVE, 0, MAKELPARAM(5000, 2));
        left = AskColours(hDlg, IDC_LINK_LEFT);
        stateAfter = ::SendMessageA(hDlg, WM_LT_STATE, IDC_LINK_LEFT, 0);
        ::GetGUIThreadInfo(uiThread, &info);
        captureAfter = info.hwndCapture;
    });
    EXPECT_EQ(RGB(0, 0, 238), plain.text);
    EXPECT_EQ(TRANSPARENT, plain.mode);
    EXPECT_EQ(reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH)), plain.brush);
    EXPECT_EQ(RGB(85, 26, 139), visited.text);
    EXPECT_EQ(label.GetHoverColor(), hovered.text);
    EXPECT_EQ(3, stateHovered);
    EXPECT_NE(nullptr, captureWhileHovered);
    EXPECT_EQ(RGB(85, 26, 139), left.text);
    EXPECT_EQ(2, stateAfter);
    EXPECT_EQ(nullptr, captureAfter);
}

TEST(LinkLabel, EveryErrorCodeNamesItsReason)
{
    const std::pair<int, const char*> table[] = {
        { 0, "The operating system is out\nof memory or resources." },
        { 2, "The specified file was not found." },
        { 3, "The specified path was not found." },
        { 5, "The operating system denied\naccess to the specified file." },
        { 8, "There was not enough memory to complete the operation." },
        { 11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)." },
        { 26, "A sharing violation occurred. " },
        { 27, "The filename association is\nincomplete or invalid." },
        { 28, "The DDE transaction could not\nbe completed because the request timed out." },
        { 29, "The DDE transaction failed." },
        { 30, "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed." },
        { 31, "There is no application associated\nwith the given filename extension." },
        { 32, "The specified dynamic-link library was not found." },
        { 1, "Unknown Error (1) occurred." },
        { 4, "Unknown Error (4) occurred." },
        { 33, "Unknown Error (33) occurred." },
        { -7, "Unknown Error (-7) occurred." },
    };
    MessageBoxWatcher boxes;
    CLinkTestDlg dlg;
    RunModalWith(dlg, [&](HWND hDlg) {
        for (const auto& row : table)
            ::SendMessageA(hDlg, WM_LT_ERROR, static_cast<WPARAM>(row.first), 0);
    });
    std::vector<MessageBoxSeen> seen = boxes.Seen();
    ASSERT_EQ(std::size(table), seen.size());
    for (size_t i = 0; i < seen.size(); ++i)
        EXPECT_EQ(std::string("Unable to open hyperlink:\n\n") + table[i].second, seen[i].text) << table[i].first;
}

TEST(LinkLabel, TheOpenCommandLosesThePlaceholderAndWhatFollows)
{
    CString command;
    ASSERT_TRUE(CLinkLabel::BuildOpenCommand("browser.exe -new", "http://x/", 520, command));
    EXPECT_EQ(CString("browser.exe -new http://x/"), command);
    ASSERT_TRUE(CLinkLabel::BuildOpenCommand("\"C:\\b b\\browser.exe\" -url \"%1\" -tail", "http://x/", 520, command));
    EXPECT_EQ(CString("\"C:\\b b\\browser.exe\" -url  http://x/"), command) << "two blanks, target unquoted";
    ASSERT_TRUE(CLinkLabel::BuildOpenCommand("browser.exe %1 -tail", "http://x/", 520, command));
    EXPECT_EQ(CString("browser.exe  http://x/"), command);
    ASSERT_TRUE(CLinkLabel::BuildOpenCommand("b.exe %1 \"%1\"", "t", 520, command));
    EXPECT_EQ(CString("b.exe %1  t"), command) << "the quoted form is looked for first";
    EXPECT_FALSE(CLinkLabel::BuildOpenCommand("b.exe", std::string(600, 'u').c_str(), 520, command));
}

namespace {

// Points ".htm" at a document class of the test's for the length of a test.
class HtmClass {
public:
    explicit HtmClass(const std::string& openCommand)
    {
        m_old = DefaultValue(".htm");
        Set(".htm", "VorlikTestPage");
        Set("VorlikTestPage\\shell\\open\\command", openCommand);
    }
    ~HtmClass()
    {
        Set(".htm", m_old);
        ::SHDeleteKeyA(HKEY_CLASSES_ROOT, "VorlikTestPage");
    }
    static void Set(const std::string& key, const std::string& value)
    {
        ::RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, value.c_str(), static_cast<DWORD>(value.size()));
    }
    static std::string DefaultValue(const std::string& key)
    {
        char buf[MAX_PATH] = "";
        LONG size = sizeof buf;
        ::RegQueryValueA(HKEY_CLASSES_ROOT, key.c_str(), buf, &size);
        return buf;
    }

private:
    std::string m_old;
};

std::string ArgFile()
{
    char temp[MAX_PATH] = "";
    ::GetTempPathA(sizeof temp, temp);
    return std::string(temp) + "vorlik-argfile.txt";
}

} // namespace

TEST(LinkLabel, WhenTheShellCannotOpenTheHtmProgramStartsWithTheTarget)
{
    ::DeleteFileA(ArgFile().c_str());
    HtmClass htm("\"" + BesideTests("ChildTool.exe") + "\" argfile \"%1\" ignored");
    const char* target = "vorlik-no-such-document.xyz";
    CLinkTestDlg dlg;
    LRESULT state = 0;
    RunModalWith(dlg, [&](HWND hDlg) {
        ::SendMessageA(hDlg, WM_LT_TARGET, IDC_LINK_LEFT, reinterpret_cast<LPARAM>(target));
        ::SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_LINK_LEFT, STN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, IDC_LINK_LEFT)));
        state = ::SendMessageA(hDlg, WM_LT_STATE, IDC_LINK_LEFT, 0);
        WaitUntil([&] { return ReadFileText(ArgFile()) == target; });
    });
    EXPECT_EQ(target, ReadFileText(ArgFile()));
    EXPECT_EQ(2, state) << "a successful open marks the link visited";
    ::DeleteFileA(ArgFile().c_str());
}

TEST(LinkLabel, AFailedClickBeepsReportsAndClearsTheVisitedMark)
{
    HtmClass htm("\"C:\\no such folder\\browser.exe\" \"%1\"");
    MessageBoxWatcher boxes;
    CLinkTestDlg dlg;
    LRESULT state = -1;
    RunModalWith(dlg, [&](HWND hDlg) {
        ::SendMessageA(hDlg, WM_LT_TARGET, IDC_LINK_LEFT, reinterpret_cast<LPARAM>("vorlik-no-such-document.xyz"));
        ::SendMessageA(hDlg, WM_LT_MARK, IDC_LINK_LEFT, TRUE);
        ::SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_LINK_LEFT, STN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, IDC_LINK_LEFT)));
        state = ::SendMessageA(hDlg, WM_LT_STATE, IDC_LINK_LEFT, 0);
    });
    EXPECT_EQ(0, state);
    ASSERT_EQ(1u, boxes.Count());
    EXPECT_EQ(0u, boxes.Seen()[0].text.find("Unable to open hyperlink:\n\n"));
}
