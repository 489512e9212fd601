// What Wine cannot show by itself: a name query that never returns, threads that start
// slowly, and a handle table without this process's own entries. Run with heap checking so that a write into a
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

// Whether a name of so many bytes, as a name query returns it, ends with the suffix.
bool EndsWith(const WCHAR *name, ULONG bytes, const WCHAR *suffix)
{
    const ULONG chars = bytes / sizeof(WCHAR);
    ULONG suffixChars = 0;
    while (suffix[suffixChars])
        ++suffixChars;
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
    if (result >= 0 && EndsWith(reinterpret_cast<WCHAR *>(record + 1), record[0], L"SlowHalvex.exe")) {
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

// ---------------------------------------------------------------------------------------
// Threads that start slowly: a test library whose thread-attach handler sleeps holds every
// new thread of this process back before its first instruction, as a loaded machine does.

namespace {

typedef void(WINAPI *SetThreadStartDelayFn)(DWORD);

class SlowThreadStartTest : public SeamTest
{
protected:
    void SetUp() override
    {
        SeamTest::SetUp();
        m_hLibrary = LoadLibraryExW((WideExeDir() + L"\\SlowThreadStart.dll").c_str(), nullptr,
                                    LOAD_WITH_ALTERED_SEARCH_PATH);
        ASSERT_NE(m_hLibrary, nullptr);
        m_pfnSetDelay = reinterpret_cast<SetThreadStartDelayFn>(
            reinterpret_cast<void (*)()>(GetProcAddress(m_hLibrary, "SetThreadStartDelay")));
        ASSERT_NE(m_pfnSetDelay, nullptr);
    }
    void TearDown() override
    {
        if (m_pfnSetDelay)
            m_pfnSetDelay(0);
        // Stays loaded: a query thread still ending may yet be inside it.
        SeamTest::TearDown();
    }
    static std::wstring WideExeDir()
    {
        WCHAR path[MAX_PATH];
        DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring dir(path, n);
        return dir.substr(0, dir.find_last_of(L'\\'));
    }
    HMODULE m_hLibrary = nullptr;
    SetThreadStartDelayFn m_pfnSetDelay = nullptr;
};

} // namespace

TEST_F(SlowThreadStartTest, EveryNameAndEveryHandleWhateverTheThreadStartTakes)
{
    const std::vector<std::string> files = {
        m_dir.Create("Halvex.exe"),
        m_dir.Create("copy\\Halvex.exe"),
        m_dir.Create("OldHalvex.exe.bak"),
    };
    for (DWORD delay : {0u, 30u, 120u, 300u}) {
        SCOPED_TRACE("thread start takes " + std::to_string(delay) + " ms");
        m_pfnSetDelay(delay);

        HANDLE file = CreateFileA(files[0].c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        char name[260];
        memset(name, 'x', sizeof(name));
        QueryHandleFileName(file, name);
        CloseHandle(file);
        const std::string got(name);
        EXPECT_GE(got.size(), strlen("\\Halvex.exe"));
        EXPECT_EQ(got.substr(got.size() < 11 ? 0 : got.size() - 11), "\\Halvex.exe") << got;

        HolderProcess holder;
        ASSERT_TRUE(holder.Start(files));
        ReleaseStats stats;
        EXPECT_TRUE(ReleaseLockedFile("Halvex.exe", &stats));
        EXPECT_EQ(0u, stats.Abandoned);
        EXPECT_EQ(3u, stats.Closed);
        std::vector<bool> open;
        long fillerOpen;
        ASSERT_TRUE(holder.Report(&open, &fillerOpen));
        EXPECT_EQ((std::vector<bool>{false, false, false}), open);
    }
}

// ---------------------------------------------------------------------------------------
// A query that hangs, first, in the middle or last of its batch (the handles of one owning
// process). The walk goes on without it; the handle the hung query holds must stay open and
// keep naming the same file until the query comes back.

namespace {

const WCHAR *volatile g_pszGatedSuffix = nullptr;
volatile LONG g_nGatedValid;   // 1 when the handle still named the same object after the gate
WCHAR g_szGatedName[262];
ULONG g_nGatedBytes;

// Runs on the query thread: system calls only. Holds the query of the file whose name ends
// with the suffix at the gate; when let go, asks its handle again.
LONG NTAPI GatedFileQuery(HANDLE file, PVOID status, PVOID info, ULONG length, ULONG infoClass)
{
    LONG result = g_pfnRealFileQuery(file, status, info, length, infoClass);
    ULONG *record = static_cast<ULONG *>(info);
    if (result < 0 || !EndsWith(reinterpret_cast<WCHAR *>(record + 1), record[0], g_pszGatedSuffix))
        return result;
    g_nGatedBytes = record[0];
    memcpy(g_szGatedName, record + 1, record[0]);
    InterlockedIncrement(&g_nHung);
    WaitForSingleObject(g_hReleaseHung, INFINITE);

    ULONG again[1 + 262];
    ULONG_PTR block[2];
    memset(again, 0, sizeof(again));
    LONG second = g_pfnRealFileQuery(file, block, again, sizeof(again), infoClass);
    g_nGatedValid = second >= 0 && again[0] == g_nGatedBytes && memcmp(again + 1, g_szGatedName, g_nGatedBytes) == 0;
    InterlockedIncrement(&g_nReturned);
    return result;
}

} // namespace

TEST_F(SeamTest, HungQueryKeepsItsHandleWhereverItStandsInTheBatch)
{
    // The holder's handles in table order: its current directory, then the three files.
    const std::string cwd = m_dir.Path() + "\\cwd";
    m_dir.Create("cwd\\marker");
    const std::vector<std::string> files = {
        m_dir.Create("d0\\Halvex.exe"),
        m_dir.Create("d1\\Halvex.exe"),
        m_dir.Create("d2\\Halvex.exe"),
    };
    struct Case {
        const char *name;
        const WCHAR *suffix;
        std::vector<bool> open;
    } cases[] = {
        {"first", L"\\cwd", {false, false, false}},
        {"middle", L"\\d1\\Halvex.exe", {false, true, false}},
        {"last", L"\\d2\\Halvex.exe", {false, false, true}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ResetEvent(g_hReleaseHung);
        g_nHung = g_nReturned = g_nGatedValid = 0;
        g_pszGatedSuffix = c.suffix;
        HolderProcess holder;
        holder.SetWorkingDirectory(cwd);
        ASSERT_TRUE(holder.Start(files));
        SetNativeQueriesForTesting(nullptr, GatedFileQuery);

        ReleaseStats stats;
        EXPECT_TRUE(ReleaseLockedFile("Halvex.exe", &stats));
        SetNativeQueriesForTesting(nullptr, nullptr);
        EXPECT_EQ(1, g_nHung);
        EXPECT_EQ(1u, stats.Abandoned);
        std::vector<bool> open;
        long fillerOpen;
        ASSERT_TRUE(holder.Report(&open, &fillerOpen));
        EXPECT_EQ(c.open, open);

        // Handles come and go meanwhile; a value closed under the query would be taken again.
        std::vector<HANDLE> churn;
        for (int i = 0; i < 32; ++i)
            churn.push_back(CreateFileA(files[0].c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
        ReleaseHungQueries();
        EXPECT_EQ(1, g_nGatedValid) << "the hung query's handle was closed or taken by another object";
        for (HANDLE h : churn)
            if (h != INVALID_HANDLE_VALUE)
                CloseHandle(h);
    }
}
