// CStdinWriter on a real pipe: never blocks, keeps order, and never touches
// the handle once closed.
#include "runner/StdinWriter.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class StdinWriter : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(::CreatePipe(&m_hRead, &m_hWrite, nullptr, 1024)); }
    void TearDown() override
    {
        ::CloseHandle(m_hRead);
        ::CloseHandle(m_hWrite);
    }
    std::string ReadAll()
    {
        std::string s;
        DWORD avail = 0;
        while (::PeekNamedPipe(m_hRead, nullptr, 0, nullptr, &avail, nullptr) && avail > 0) {
            std::string chunk(avail, '\0');
            DWORD got = 0;
            ::ReadFile(m_hRead, &chunk[0], avail, &got, nullptr);
            s.append(chunk, 0, got);
        }
        return s;
    }

    HANDLE m_hRead = nullptr;
    HANDLE m_hWrite = nullptr;
    CStdinWriter m_writer;
};

} // namespace

TEST_F(StdinWriter, QueuesWhatAFullPipeCannotTakeAndDeliversItInOrder)
{
    m_writer.Open(m_hWrite);
    std::string sent;
    for (int i = 0; i < 5000; ++i) {
        char ch = static_cast<char>('a' + i % 26);
        m_writer.Write(&ch, 1); // would block for ever without the queue
        sent += ch;
    }
    EXPECT_GT(m_writer.GetPendingCount(), 0u);
    std::string got;
    while (got.size() < sent.size()) {
        std::string chunk = ReadAll();
        if (chunk.empty() && m_writer.GetPendingCount() == 0)
            break;
        got += chunk;
        m_writer.Flush();
    }
    EXPECT_EQ(sent, got);
}

TEST_F(StdinWriter, WritesNothingBeforeOpenOrAfterClose)
{
    m_writer.Write("a", 1);
    m_writer.Open(m_hWrite);
    m_writer.Write("b", 1);
    m_writer.Close();
    m_writer.Write("c", 1);
    m_writer.Flush();
    EXPECT_EQ("b", ReadAll());
    EXPECT_EQ(0u, m_writer.GetPendingCount());
}
