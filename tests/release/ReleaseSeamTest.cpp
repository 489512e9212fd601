// What Wine cannot show by itself: a name query that never returns, and a handle table
// without this process's own entries. Run with heap checking so that a write into a
// freed query block is caught.
#include "repair/HandleTable.h"
#include "repair/InstallDir.h"
#include "repair/LockedFileRelease.h"
#include "tests/release/HolderProcess.h"
#include "tests/release/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

NtQueryInformationFileFn RealFileQuery()
{
    return reinterpret_cast<NtQueryInformationFileFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationFile")));
}

NtQuerySystemInformationFn RealSystemQuery()
{
    return reinterpret_cast<NtQuerySystemInformationFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
}

NtQueryInformationFileFn g_pfnRealFileQuery;
HANDLE g_hReleaseHung;
volatile LONG g_nHung;
volatile LONG g_nReturned;

bool EndsWithSlowName(const WCHAR *name, ULONG bytes)
{
    static const WCHAR suffix[] = L"SlowHalvex.exe";
    const ULONG chars = bytes / sizeof(WCHAR), suffixChars = sizeof(suffix) / sizeof(WCHAR) - 1;
    if (chars < suffixChars || chars > 262)
        return false;
    for (ULONG i = 0; i < suffixChars; ++i)
        if (name[chars - suffixChars + i] != suffix[i])
            return false;
    return true;
}

// Runs on the query thread: system calls only. Hangs for one file until released, then
// writes into the caller's block as a late query would.
LONG NTAPI HangingFileQuery(HANDLE file, PVOID status, PVOID info, ULONG length, ULONG infoClass)
{
    LONG result = g_pfnRealFileQuery(file, status, info, length, infoClass);
    ULONG *record = static_cast<ULONG *>(info);
    if (result >= 0 && EndsWithSlowName(reinterpret_cast<WCHAR *>(record + 1), record[0])) {
        InterlockedIncrement(&g_nHung);
        WaitForSingleObject(g_hReleaseHung, INFINITE);
        for (ULONG i = 0; i < length / sizeof(ULONG); ++i)
            record[i] = 0x4C415445;
        InterlockedIncrement(&g_nReturned);
    }
    return result;
}

class SeamTest : public testing::Test
{
protected:
    void SetUp() override
    {
        SetInstallDir(m_dir.Path().c_str());
        g_pfnRealFileQuery = RealFileQuery();
        g_hReleaseHung = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        g_nHung = g_nReturned = 0;
    }
    void TearDown() override
    {
        SetNativeQueriesForTesting(nullptr, nullptr);
        SetEvent(g_hReleaseHung);
        SetInstallDir("");
    }
    // Lets hung queries return and waits until they have written their late bytes.
    void ReleaseHungQueries()
    {
        SetEvent(g_hReleaseHung);
        for (int i = 0; i < 500 && g_nReturned < g_nHung; ++i)
            Sleep(10);
        Sleep(50);
        EXPECT_EQ(g_nHung, g_nReturned);
        EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
    }
    TempDir m_dir;
};

} // namespace

TEST_F(SeamTest, QueryThatNeverReturnsGivesAnEmptyNameWithinTheBound)
{
    std::string path = m_dir.Create("SlowHalvex.exe");
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    SetNativeQueriesForTesting(nullptr, HangingFileQuery);

    char name[260];
    memset(name, 'x', sizeof(name));
    DWORD start = GetTickCount();
    QueryHandleFileName(file, name);
    DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ('\0', name[0]);
    EXPECT_LT(elapsed, 500u);
    EXPECT_EQ(1, g_nHung);

    ReleaseHungQueries();
    CloseHandle(file);
}

TEST_F(SeamTest, WalkGoesOnPastAHungQuery)
{
    std::vector<std::string> files = {
        m_dir.Create("Halvex.exe"),
        m_dir.Create("SlowHalvex.exe"),
        m_dir.Create("copy\\Halvex.exe"),
    };
    HolderProcess holder;
    ASSERT_TRUE(holder.Start(files));
    SetNativeQueriesForTesting(nullptr, HangingFileQuery);

    ReleaseStats stats;
    EXPECT_TRUE(ReleaseLockedFile("Halvex.exe", &stats));
    EXPECT_EQ(1, g_nHung);
    EXPECT_EQ(1u, stats.Abandoned);
    EXPECT_EQ(2u, stats.Closed);

    std::vector<bool> open;
    long fillerOpen;
    ASSERT_TRUE(holder.Report(&open, &fillerOpen));
    // The hung handle's name stayed unknown, so it was left open.
    EXPECT_EQ((std::vector<bool>{false, true, false}), open);
    ReleaseHungQueries();
}

namespace {

// The real table with every entry of this process taken out.
LONG NTAPI TableWithoutOwnEntries(ULONG infoClass, PVOID buffer, ULONG length, PULONG returned)
{
    LONG status = RealSystemQuery()(infoClass, buffer, length, returned);
    if (status < 0 || (infoClass != HANDLE_TABLE_CLASS && infoClass != HANDLE_TABLE_EX_CLASS))
        return status;
    HandleTable table(buffer, length, static_cast<int>(infoClass));
    const size_t header = infoClass == HANDLE_TABLE_EX_CLASS ? 2 * sizeof(void *) : sizeof(void *);
    const size_t entrySize = infoClass == HANDLE_TABLE_EX_CLASS ? 3 * sizeof(void *) + 16 : sizeof(HandleEntry);
    unsigned char *base = static_cast<unsigned char *>(buffer) + header;
    size_t kept = 0;
    HandleRecord entry;
    for (size_t i = 0; i < table.Count(); ++i) {
        table.Entry(i, &entry);
        if (entry.ProcessId == GetCurrentProcessId())
            continue;
        memmove(base + kept * entrySize, base + i * entrySize, entrySize);
        ++kept;
    }
    if (infoClass == HANDLE_TABLE_EX_CLASS)
        *static_cast<ULONG_PTR *>(buffer) = kept;
    else
        *static_cast<ULONG *>(buffer) = static_cast<ULONG>(kept);
    return status;
}

} // namespace

TEST_F(SeamTest, NoEntryForOwnNulHandleClosesNothing)
{
    HolderProcess holder;
    ASSERT_TRUE(holder.Start({m_dir.Create("Halvex.exe")}));
    SetNativeQueriesForTesting(TableWithoutOwnEntries, nullptr);

    EXPECT_EQ(0u, GetFileObjectType());
    EXPECT_FALSE(ReleaseLockedFile("Halvex.exe"));
    EXPECT_EQ(0, TestFileLock("Halvex.exe"));

    std::vector<bool> open;
    long fillerOpen;
    ASSERT_TRUE(holder.Report(&open, &fillerOpen));
    EXPECT_EQ(std::vector<bool>{true}, open);
}

namespace {

// An extended table in which this process cannot find itself, beside a sound class 16 table.
LONG NTAPI ExtendedTableWithoutOwnEntries(ULONG infoClass, PVOID buffer, ULONG length, PULONG returned)
{
    if (infoClass == HANDLE_TABLE_EX_CLASS)
        return TableWithoutOwnEntries(infoClass, buffer, length, returned);
    return RealSystemQuery()(infoClass, buffer, length, returned);
}

} // namespace

TEST_F(SeamTest, ExtendedTableWithoutOwnEntryFallsBackToClassTable)
{
    HolderProcess holder;
    ASSERT_TRUE(holder.Start({m_dir.Create("Halvex.exe")}));
    SetNativeQueriesForTesting(ExtendedTableWithoutOwnEntries, nullptr);

    EXPECT_NE(0u, GetFileObjectType());
    EXPECT_TRUE(ReleaseLockedFile("Halvex.exe"));
    EXPECT_EQ(1, TestFileLock("Halvex.exe"));

    std::vector<bool> open;
    long fillerOpen;
    ASSERT_TRUE(holder.Report(&open, &fillerOpen));
    EXPECT_EQ(std::vector<bool>{false}, open);
}
