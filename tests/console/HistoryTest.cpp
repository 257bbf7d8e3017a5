// The command history against the real registry of the test prefix; every
// test uses an application name of its own.
#include "console/ConsoleDlg.h"

#include "ChildProcess.h"
#include "MessageBoxes.h"
#include "ModalRunner.h"
#include "Pump.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace testsupport;

namespace {

constexpr UINT WM_PROBE_ADD = WM_APP + 90;      // lParam: the command
constexpr UINT WM_PROBE_FAKE_RUN = WM_APP + 91; // wParam: 1 = a run is active

class CHistoryProbe : public CConsoleDlg {
protected:
    LRESULT OnAdd(WPARAM, LPARAM lParam)
    {
        AddToHistory(CString(reinterpret_cast<LPCTSTR>(lParam)));
        return 0;
    }
    LRESULT OnFakeRun(WPARAM wParam, LPARAM)
    {
        if (wParam != 0)
            m_run.Start(m_hWnd, "", [](LPVOID) -> UINT { return 0; });
        else
            m_run.OnFinished();
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CHistoryProbe, CConsoleDlg)
    ON_MESSAGE(WM_PROBE_ADD, OnAdd)
    ON_MESSAGE(WM_PROBE_FAKE_RUN, OnFakeRun)
END_MESSAGE_MAP()

class History : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_name = std::string("HistoryTest-") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        AfxGetApp()->SetAppName(m_name.c_str());
        AfxGetApp()->SetRegistryKey("Quorvel's Tools");
        m_key = "software\\Quorvel's Tools\\" + m_name;
        ::SHDeleteKeyA(HKEY_CURRENT_USER, m_key.c_str());
    }
    void TearDown() override { ::SHDeleteKeyA(HKEY_CURRENT_USER, m_key.c_str()); }

    void Store(const std::vector<std::string>& entries, int first = 0)
    {
        for (size_t i = 0; i < entries.size(); ++i)
            Store("RecentCmd" + std::to_string(first + static_cast<int>(i)), entries[i]);
    }
    void Store(const std::string& name, const std::string& value)
    {
        AfxGetApp()->WriteProfileString("RecentCmd", name.c_str(), value.c_str());
    }
    // The stored values RecentCmd0.. in order, up to the first missing one.
    std::vector<std::string> Stored(int upTo = 25)
    {
        std::vector<std::string> values;
        HKEY hKey = nullptr;
        if (::RegOpenKeyExA(HKEY_CURRENT_USER, (m_key + "\\RecentCmd").c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
            return { "<no key>" };
        for (int i = 0; i < upTo; ++i) {
            char buf[2048] = "";
            DWORD size = sizeof buf;
            if (::RegQueryValueExA(hKey, ("RecentCmd" + std::to_string(i)).c_str(), nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS)
                values.push_back("<missing>");
            else
                values.push_back(buf);
        }
        ::RegCloseKey(hKey);
        while (!values.empty() && values.back() == "<missing>")
            values.pop_back();
        return values;
    }
    static std::vector<std::string> List(HWND hDlg)
    {
        HWND hBox = ::GetDlgItem(hDlg, IDC_COMMAND);
        std::vector<std::string> entries;
        int n = static_cast<int>(::SendMessageA(hBox, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            char buf[2048] = "";
            ::SendMessageA(hBox, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buf));
            entries.push_back(buf);
        }
        return entries;
    }
    static std::vector<std::string> Numbered(int from, int count)
    {
        std::vector<std::string> v;
        for (int i = from; i < from + count; ++i)
            v.push_back("command " + std::to_string(i));
        return v;
    }

    std::string m_name;
    std::string m_key;
};

void Add(HWND hDlg, const std::string& command)
{
    ::SendMessageA(hDlg, WM_PROBE_ADD, 0, reinterpret_cast<LPARAM>(command.c_str()));
}

} // namespace

TEST_F(History, TheFirstStartCreatesTheKeysAndStoresNothingUntilThereIsAnEntry)
{
    CHistoryProbe dlg;
    std::vector<std::string> list = { "x" };
    std::vector<std::string> storedWhileOpen;
    RunModalWith(dlg, [&](HWND hDlg) {
        list = List(hDlg);
        storedWhileOpen = Stored();
    });
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(storedWhileOpen.empty()) << "the keys exist, with no values";
    EXPECT_TRUE(Stored().empty()) << "an empty list writes nothing";
}

TEST_F(History, NewestFirstTwentyAtMostAndACaseDifferentDuplicateChangesNothing)
{
    Store(Numbered(0, 20));
    CHistoryProbe dlg;
    std::vector<std::string> loaded, afterNew, afterDuplicate;
    RunModalWith(dlg, [&](HWND hDlg) {
        loaded = List(hDlg);
        Add(hDlg, "newest");
        afterNew = List(hDlg);
        Add(hDlg, "COMMAND 5");
        Add(hDlg, "");
        afterDuplicate = List(hDlg);
    });
    EXPECT_EQ(Numbered(0, 20), loaded);
    std::vector<std::string> expected = { "newest" };
    for (const std::string& s : Numbered(0, 19))
        expected.push_back(s);
    EXPECT_EQ(expected, afterNew) << "the oldest went, the new one is on top";
    EXPECT_EQ(expected, afterDuplicate) << "a duplicate in another case and an empty command add nothing";
    EXPECT_EQ(expected, Stored()) << "written back when the dialog closes";
}

TEST_F(History, AGapEndsTheLoadingAndLaterValuesSurviveUntilOverwritten)
{
    Store({ "a", "b", "c" });
    Store("RecentCmd4", "e");
    CHistoryProbe first;
    std::vector<std::string> loaded;
    RunModalWith(first, [&](HWND hDlg) { loaded = List(hDlg); });
    EXPECT_EQ((std::vector<std::string>{ "a", "b", "c" }), loaded);
    EXPECT_EQ((std::vector<std::string>{ "a", "b", "c", "<missing>", "e" }), Stored());

    CHistoryProbe second;
    RunModalWith(second, [&](HWND hDlg) {
        Add(hDlg, "d2");
        Add(hDlg, "d1");
    });
    EXPECT_EQ((std::vector<std::string>{ "d1", "d2", "a", "b", "c" }), Stored());
}

TEST_F(History, TwentyStoredEntriesAreWrittenBackUnchanged)
{
    Store(Numbered(100, 20));
    CHistoryProbe dlg;
    RunModalWith(dlg, [&](HWND) {});
    EXPECT_EQ(Numbered(100, 20), Stored());
}

TEST_F(History, ValuesTooLongOrNotStringsNeverBreakTheLoading)
{
    Store({ "first", std::string(5000, 'x'), "third" });
    CHistoryProbe dlg;
    std::vector<std::string> loaded;
    RunModalWith(dlg, [&](HWND hDlg) { loaded = List(hDlg); });
    EXPECT_EQ((std::vector<std::string>{ "first", "third" }), loaded) << "a value no command line can be is skipped";

    HKEY hKey = nullptr;
    ::RegOpenKeyExA(HKEY_CURRENT_USER, (m_key + "\\RecentCmd").c_str(), 0, KEY_WRITE, &hKey);
    DWORD number = 42;
    ::RegSetValueExA(hKey, "RecentCmd1", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    ::RegCloseKey(hKey);
    CHistoryProbe again;
    RunModalWith(again, [&](HWND hDlg) { loaded = List(hDlg); });
    EXPECT_EQ((std::vector<std::string>{ "first" }), loaded) << "a value that is no string ends the list";
}

TEST_F(History, OnlyStartedRunsAreAddedEvenWhenNoProcessCouldBeCreated)
{
    char temp[MAX_PATH] = "";
    ::GetTempPathA(sizeof temp, temp);
    std::string doc = std::string(temp) + "vorlik-history-doc.txt";
    ::CloseHandle(::CreateFileA(doc.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    MessageBoxWatcher boxes;
    CHistoryProbe dlg;
    std::vector<std::string> afterRefused, afterFailed;
    RunModalWith(dlg, [&](HWND hDlg) {
        HWND hBox = ::GetDlgItem(hDlg, IDC_COMMAND);
        ::SendMessageA(hDlg, WM_PROBE_FAKE_RUN, 1, 0);
        ::SendMessageA(hBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("refused command"));
        ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_RUN, BN_CLICKED), 0);
        WaitUntil([&] { return boxes.Count() == 1; });
        afterRefused = List(hDlg);
        ::SendMessageA(hDlg, WM_PROBE_FAKE_RUN, 0, 0);

        ::SendMessageA(hBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(doc.c_str()));
        ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_RUN, BN_CLICKED), 0);
        WaitUntil([&] { return boxes.Count() == 2 && !List(hDlg).empty(); });
        afterFailed = List(hDlg);
        // Let the failed run end before the dialog closes.
        WaitUntil([&] {
            std::string t(64, '\0');
            t.resize(static_cast<size_t>(::SendMessageA(::GetDlgItem(hDlg, IDC_OUTPUT), WM_GETTEXT, t.size(),
                                                        reinterpret_cast<LPARAM>(&t[0]))));
            return t.find("--End--") != std::string::npos;
        });
    });
    ::DeleteFileA(doc.c_str());
    EXPECT_TRUE(afterRefused.empty());
    EXPECT_EQ((std::vector<std::string>{ doc }), afterFailed);
    ASSERT_EQ(2u, boxes.Count());
    EXPECT_EQ("Couldn't Create Process\r\n", boxes.Seen()[1].text);
}
