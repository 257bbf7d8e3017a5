// CString: the operations whose edges the program leans on.
#include "platform/CString.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(String, BufferAccessTakesTheLengthUpToTheFirstZero)
{
    CString s("abc");
    char* p = s.GetBuffer(10);
    std::strcpy(p, "hello");
    s.ReleaseBuffer();
    EXPECT_EQ(5, s.GetLength());
    EXPECT_EQ(CString("hello"), s);

    p = s.GetBuffer(0);
    p[2] = '\0';
    s.ReleaseBuffer();
    EXPECT_EQ(CString("he"), s);

    std::strcpy(s.GetBuffer(8), "abcdefgh");
    s.ReleaseBuffer(3);
    EXPECT_EQ(CString("abc"), s);
}

TEST(String, ConstructionStopsAtAZeroAndNullReadsEmpty)
{
    EXPECT_EQ(3, CString("ab\0cd", 5).GetLength() + 1);
    EXPECT_TRUE(CString(static_cast<LPCTSTR>(nullptr)).IsEmpty());
    EXPECT_TRUE(CString('\0', 4).IsEmpty());
    CString s;
    s += '\0';
    EXPECT_TRUE(s.IsEmpty());
}

TEST(String, ComparesAndCutsWithinBounds)
{
    EXPECT_EQ(0, CString("DIR").CompareNoCase("dir"));
    EXPECT_NE(0, CString("DIR").Compare("dir"));
    EXPECT_EQ(CString("ab"), CString("abc").Left(2));
    EXPECT_EQ(CString("abc"), CString("abc").Left(10));
    EXPECT_EQ(CString(""), CString("abc").Left(-1));
    EXPECT_EQ(CString("bc"), CString("abc").Mid(1));
    EXPECT_EQ(CString(""), CString("abc").Mid(5));
    EXPECT_EQ(2, CString("a\\b\\c").ReverseFind('\\') - 1);
    EXPECT_EQ(-1, CString("abc").Find('z'));
    EXPECT_EQ(CString("x:y"), CString("x") + ":" + CString("y"));
}
