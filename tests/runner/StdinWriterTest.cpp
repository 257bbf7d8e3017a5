// CStdinWriter on a real pipe: never blocks, keeps order, and never touches
// the handle once closed.
#include "runner/StdinWriter.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <string>

using testsupport::ReadAvailable;

namespace {

class StdinWriter : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(::CreatePipe(&m_hRead, &m_hWrite, nullptr, 1024)); }
    void TearDown() override
    {
        ::CloseHandle(m_hRead);
        ::CloseHandle(m_hWrite);
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
        std::string chunk = ReadAvailable(m_hRead);
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
    EXPECT_EQ("b", ReadAvailable(m_hRead));
    EXPECT_EQ(0u, m_writer.GetPendingCount());
}
