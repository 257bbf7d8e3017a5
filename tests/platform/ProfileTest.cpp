// The registry profile, on the real registry of the test prefix.
#include "platform/Afx.h"

#include <gtest/gtest.h>

namespace {

constexpr char kCompany[] = "Vorlik Test Company";

class Profile : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::SHDeleteKeyA(HKEY_CURRENT_USER, "software\\Vorlik Test Company");
        m_pApp = AfxGetApp();
        m_pApp->SetRegistryKey(kCompany);
    }
    void TearDown() override { ::SHDeleteKeyA(HKEY_CURRENT_USER, "software\\Vorlik Test Company"); }

    static CString SectionPath(const char* section)
    {
        return CString("software\\") + kCompany + "\\" + AfxGetAppName() + "\\" + section;
    }
    static bool KeyExists(const char* path)
    {
        HKEY hKey = nullptr;
        if (::RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
            return false;
        ::RegCloseKey(hKey);
        return true;
    }
    static void SetRaw(const char* section, const char* entry, DWORD type, const void* data, DWORD size)
    {
        HKEY hKey = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, SectionPath(section), 0, nullptr, 0,
                                                   KEY_WRITE, nullptr, &hKey, nullptr));
        ::RegSetValueExA(hKey, entry, 0, type, static_cast<const BYTE*>(data), size);
        ::RegCloseKey(hKey);
    }

    CWinApp* m_pApp = nullptr;
};

} // namespace

TEST_F(Profile, ReadingAMissingValueCreatesTheKeysAndGivesTheDefault)
{
    ASSERT_FALSE(KeyExists(SectionPath("Recent")));
    EXPECT_EQ(CString("fallback"), m_pApp->GetProfileString("Recent", "Entry0", "fallback"));
    EXPECT_EQ(CString(""), m_pApp->GetProfileString("Recent", "Entry0"));
    EXPECT_TRUE(KeyExists(SectionPath("Recent")));
}

TEST_F(Profile, WrittenStringsReadBackAndANullValueDeletes)
{
    EXPECT_TRUE(m_pApp->WriteProfileString("Recent", "Entry0", "dir /w"));
    EXPECT_TRUE(m_pApp->WriteProfileString("Recent", "Entry1", ""));
    EXPECT_EQ(CString("dir /w"), m_pApp->GetProfileString("Recent", "Entry0", "x"));
    EXPECT_EQ(CString(""), m_pApp->GetProfileString("Recent", "Entry1", "x"));
    EXPECT_TRUE(m_pApp->WriteProfileString("Recent", "Entry0", nullptr));
    EXPECT_EQ(CString("x"), m_pApp->GetProfileString("Recent", "Entry0", "x"));
}

TEST_F(Profile, ValuesThatAreNoStringsReadAsTheDefault)
{
    DWORD number = 7;
    SetRaw("Recent", "Number", REG_DWORD, &number, sizeof number);
    SetRaw("Recent", "Binary", REG_BINARY, "abc", 3);
    EXPECT_EQ(CString("default"), m_pApp->GetProfileString("Recent", "Number", "default"));
    EXPECT_EQ(CString("default"), m_pApp->GetProfileString("Recent", "Binary", "default"));
}

TEST_F(Profile, AStringStoredWithoutItsZeroReadsBackWhole)
{
    SetRaw("Recent", "Bare", REG_SZ, "ping", 4);
    EXPECT_EQ(CString("ping"), m_pApp->GetProfileString("Recent", "Bare"));
    std::string big(5000, 'a');
    SetRaw("Recent", "Big", REG_SZ, big.c_str(), static_cast<DWORD>(big.size() + 1));
    EXPECT_EQ(5000, m_pApp->GetProfileString("Recent", "Big").GetLength());
}

TEST(ApplicationName, IsTheExecutablesBaseName)
{
    EXPECT_STREQ("PlatformTests", AfxGetAppName());
}
