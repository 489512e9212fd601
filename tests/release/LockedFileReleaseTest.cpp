// Locked-file release against real processes and the real handle table.
#include "repair/HandleTable.h"
#include "repair/InstallDir.h"
#include "repair/LockedFileRelease.h"
#include "tests/release/HolderProcess.h"
#include "tests/release/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class ReleaseTest : public testing::Test
{
protected:
    void SetUp() override { SetInstallDir(m_dir.Path().c_str()); }
    void TearDown() override { SetInstallDir(""); }
    TempDir m_dir;
};

// Handles of process pid in a table read by QuerySystemInformation.
size_t CountEntriesOf(void *block, int infoClass, DWORD pid, uint32_t type)
{
    HandleTable table(block, HeapSize(GetProcessHeap(), 0, block), infoClass);
    size_t count = 0;
    HandleRecord entry;
    for (size_t i = 0; i < table.Count(); ++i)
        if (table.Entry(i, &entry) && entry.ProcessId == pid && entry.ObjectType == type)
            ++count;
    return count;
}

} // namespace

TEST_F(ReleaseTest, ClosesEveryHandleWhoseNameContainsTheFragment)
{
    std::vector<std::string> files = {
        m_dir.Create("Halvex.exe"),
        m_dir.Create("OldHalvex.exe.bak"),
        m_dir.Create("caps\\HALVEX.EXE"),
        m_dir.Create("Unrelated.txt"),
    };
    HolderProcess holder;
    ASSERT_TRUE(holder.Start(files));
    EXPECT_EQ(0, TestFileLock("Halvex.exe"));

    ReleaseStats stats;
    EXPECT_TRUE(ReleaseLockedFile("Halvex.exe", &stats));
    EXPECT_GE(stats.Closed, 3u);
    EXPECT_EQ(1, TestFileLock("Halvex.exe"));

    std::vector<bool> open;
    long fillerOpen;
    ASSERT_TRUE(holder.Report(&open, &fillerOpen));
    EXPECT_EQ((std::vector<bool>{false, false, false, true}), open);
}

TEST_F(ReleaseTest, TestFileLockResults)
{
    m_dir.Create("Free.exe");
    struct Case
    {
        const char *name;
        int expected;
    } cases[] = {
        {"Free.exe", 1},
        {"Missing.exe", 2},
        {nullptr, 2},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.expected, TestFileLock(c.name)) << (c.name ? c.name : "(null)");
    EXPECT_FALSE(ReleaseLockedFile(nullptr));
}

TEST_F(ReleaseTest, ReadsATableLargerThanTheFirstBufferWhole)
{
    const long count = 3000;
    HolderProcess holder;
    ASSERT_TRUE(holder.Start({}, m_dir.Create("filler.dat"), count));
    UINT fileType = GetFileObjectType();
    ASSERT_NE(0u, fileType);
    for (int infoClass : {HANDLE_TABLE_CLASS, HANDLE_TABLE_EX_CLASS}) {
        void *table = QuerySystemInformation(infoClass);
        ASSERT_NE(nullptr, table) << infoClass;
        EXPECT_GT(HeapSize(GetProcessHeap(), 0, table), 32768u);
        EXPECT_GE(CountEntriesOf(table, infoClass, holder.ProcessId(), fileType), static_cast<size_t>(count))
            << infoClass;
        HeapFree(GetProcessHeap(), 0, table);
    }
}

TEST_F(ReleaseTest, QueryHandleFileNameGivesThePathWithoutDrive)
{
    std::string path = m_dir.Create("Named.txt");
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    char name[260];
    QueryHandleFileName(file, name);
    CloseHandle(file);
    std::string expected = path.substr(2); // no "C:"
    EXPECT_STRCASEEQ(expected.c_str(), name);

    memset(name, 'x', sizeof(name));
    QueryHandleFileName(nullptr, name);
    EXPECT_EQ('x', name[0]);
}
