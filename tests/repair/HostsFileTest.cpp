// The hosts repair against the prefix's real hosts file, which each test restores.
#include "repair/HostsFile.h"
#include "tests/release/HolderProcess.h"
#include "tests/support/FileContents.h"

#include "BuildConfig.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string HostsPath()
{
    char dir[MAX_PATH] = {};
    GetSystemDirectoryA(dir, MAX_PATH);
    return std::string(dir) + "\\drivers\\etc\\hosts";
}

bool WriteFileBytes(const std::string &path, const std::string &data)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = data.empty() ||
              (WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
               written == data.size());
    CloseHandle(file);
    return ok;
}

// Files the rewrite left beside the hosts file.
std::vector<std::string> StrayFiles()
{
    std::string dir = HostsPath();
    dir.resize(dir.find_last_of('\\'));
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = data.cFileName;
        if (name != "." && name != ".." && name != "hosts" && name != "networks" &&
            name != "protocol" && name != "services")
            names.push_back(name);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

class HostsFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_path = HostsPath();
        m_hadFile = ReadFileBytes(m_path, m_original);
        m_attributes = GetFileAttributesA(m_path.c_str());
        m_stray = StrayFiles();
    }
    void TearDown() override
    {
        SetHostsWriteFn(nullptr);
        SetHostsReplaceFn(nullptr);
        SetFileAttributesA(m_path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (m_hadFile) {
            EXPECT_TRUE(WriteFileBytes(m_path, m_original));
            SetFileAttributesA(m_path.c_str(), m_attributes);
        } else {
            DeleteFileA(m_path.c_str());
        }
        EXPECT_EQ(StrayFiles(), m_stray) << "the rewrite left a file behind";
    }

    std::string Contents()
    {
        std::string data;
        EXPECT_TRUE(ReadFileBytes(m_path, data));
        return data;
    }

    std::string m_path;
    std::string m_original;
    bool m_hadFile = false;
    DWORD m_attributes = 0;
    std::vector<std::string> m_stray;
};

const std::string D = HALVEX_WEB_DOMAIN;

std::string Upper(std::string text)
{
    for (char &c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

struct HostsCase {
    const char *name;
    std::string input;
    int result;
    std::string output;
};

void PrintTo(const HostsCase &c, std::ostream *os) { *os << c.name; }

const HostsCase HOSTS_CASES[] = {
    {"Empty", "", 0, ""},
    {"NoMentionUntouched", "127.0.0.1 localhost\n", 0, "127.0.0.1 localhost\n"},
    {"RedirectRemoved", "127.0.0.1 localhost\r\n1.2.3.4 " + D + "\r\n", 1,
     "127.0.0.1 localhost\r\n"},
    {"EveryLineRemoved", "1.2.3.4 " + D + "\r\n# " + D + "\r\n", 1, ""},
    {"LineStartingWithDomainKept", D + " 1.2.3.4\n1.2.3.4 www." + D + "\n", 1,
     D + " 1.2.3.4\r\n"},
    {"UpperCaseKept", "1.2.3.4 " + Upper(D) + "\n1.2.3.4 " + D + "\n", 1,
     "1.2.3.4 " + Upper(D) + "\r\n"},
    {"BareLfBecomesCrLf", "a\nb\n1.2.3.4 " + D + "\n", 1, "a\r\nb\r\n"},
    {"LastLineGetsTerminator", "1.2.3.4 " + D + "\r\nlast", 1, "last\r\n"},
    {"CrCrLfKeepsOneCr", "a\r\r\n1.2.3.4 " + D + "\r\n", 1, "a\r\r\n"},
    // A text-mode read would stop at Ctrl-Z and the rewrite would lose what follows.
    {"CtrlZKeepsTheRest", "a\x1A\r\n1.2.3.4 " + D + "\r\nz\r\n", 1, "a\x1A\r\nz\r\n"},
};

class HostsFileTable : public HostsFileTest, public testing::WithParamInterface<HostsCase> {};

TEST_P(HostsFileTable, RewritesExactly)
{
    const HostsCase &c = GetParam();
    ASSERT_TRUE(WriteFileBytes(m_path, c.input));
    EXPECT_EQ(RepairHostsFile(), c.result);
    EXPECT_EQ(Contents(), c.output);
}

INSTANTIATE_TEST_SUITE_P(Hosts, HostsFileTable, testing::ValuesIn(HOSTS_CASES),
                         [](const testing::TestParamInfo<HostsCase> &info) {
                             return std::string(info.param.name);
                         });

TEST_F(HostsFileTest, MissingFileIsNotCreated)
{
    ASSERT_TRUE(DeleteFileA(m_path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RepairHostsFile(), 0);
    EXPECT_EQ(GetFileAttributesA(m_path.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(HostsFileTest, ReadOnlyFileIsRefusedAndLeftAlone)
{
    const std::string input = "1.2.3.4 " + D + "\n";
    ASSERT_TRUE(WriteFileBytes(m_path, input));
    ASSERT_TRUE(SetFileAttributesA(m_path.c_str(), FILE_ATTRIBUTE_READONLY));
    const DWORD attributes = GetFileAttributesA(m_path.c_str());
    ASSERT_TRUE(attributes & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(RepairHostsFile(), -1);
    EXPECT_EQ(GetFileAttributesA(m_path.c_str()), attributes);
    EXPECT_EQ(Contents(), input);
}

TEST_F(HostsFileTest, AttributesSurviveTheRewrite)
{
    ASSERT_TRUE(WriteFileBytes(m_path, "a\n1.2.3.4 " + D + "\n"));
    ASSERT_TRUE(SetFileAttributesA(m_path.c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(RepairHostsFile(), 1);
    EXPECT_EQ(Contents(), "a\r\n");
    EXPECT_TRUE(GetFileAttributesA(m_path.c_str()) & FILE_ATTRIBUTE_HIDDEN);
}

BOOL WINAPI WriteHalfThenFail(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
                              LPOVERLAPPED overlapped)
{
    WriteFile(file, data, size / 2, written, overlapped);
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

TEST_F(HostsFileTest, FailedWriteKeepsTheOriginal)
{
    const std::string input = "127.0.0.1 localhost\r\nkeep me\r\n1.2.3.4 " + D + "\r\n";
    ASSERT_TRUE(WriteFileBytes(m_path, input));
    SetHostsWriteFn(WriteHalfThenFail);
    EXPECT_EQ(RepairHostsFile(), -1);
    EXPECT_EQ(Contents(), input);
}

// The swap moves the original aside and then fails to put the new file in its place.
BOOL WINAPI ReplaceHalfThenFail(LPCWSTR replaced, LPCWSTR, LPCWSTR backup, DWORD, LPVOID, LPVOID)
{
    MoveFileExW(replaced, backup, MOVEFILE_REPLACE_EXISTING);
    SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2);
    return FALSE;
}

TEST_F(HostsFileTest, FailedSwapPutsTheOriginalBack)
{
    const std::string input = "127.0.0.1 localhost\r\n1.2.3.4 " + D + "\r\n";
    ASSERT_TRUE(WriteFileBytes(m_path, input));
    SetHostsReplaceFn(ReplaceHalfThenFail);
    EXPECT_EQ(RepairHostsFile(), -1);
    EXPECT_EQ(Contents(), input);
}

// What other handles on the file do to the check. A reader never hides a redirection: the
// read shares reading. A handle that shares nothing makes the file unreadable, which is told
// apart from clean.
TEST_F(HostsFileTest, OtherHandlesOnTheFile)
{
    const std::string redirect = "1.2.3.4 " + D;
    const std::string input = "127.0.0.1 localhost\r\n" + redirect + "\r\n";
    enum class Other { SharingReaderProcess, ReadSharingReader, Unshared };
    const struct {
        const char *name;
        Other other;
        int result;   // the same for the scan and the repair: the swap is refused while a handle is open
        bool readable;
    } cases[] = {
        {"another process reads, sharing everything", Other::SharingReaderProcess, -1, true},
        {"a reader that shares reading only", Other::ReadSharingReader, -1, true},
        {"a handle that shares nothing", Other::Unshared, 0, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(WriteFileBytes(m_path, input));
        HolderProcess holder;
        HANDLE other = INVALID_HANDLE_VALUE;
        if (c.other == Other::SharingReaderProcess) {
            ASSERT_TRUE(holder.Start({m_path}));
        } else {
            other = CreateFileA(m_path.c_str(), GENERIC_READ, c.other == Other::Unshared ? 0 : FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, 0, nullptr);
        }
        ASSERT_TRUE(c.other == Other::SharingReaderProcess || other != INVALID_HANDLE_VALUE);

        HostsRedirects scanned, repaired;
        const int scan = FindHostsRedirects(&scanned);
        const int repair = RepairHostsFile(&repaired);
        if (other != INVALID_HANDLE_VALUE)
            CloseHandle(other);
        std::vector<bool> open;
        long fillerOpen = 0;
        if (c.other == Other::SharingReaderProcess) {
            EXPECT_TRUE(holder.Report(&open, &fillerOpen));
        }

        EXPECT_EQ(scan, c.result);
        EXPECT_EQ(repair, c.result);
        for (const HostsRedirects *found : {&scanned, &repaired}) {
            EXPECT_EQ(found->bReadable, c.readable);
            EXPECT_EQ(found->lines, c.readable ? std::vector<std::string>{redirect} : std::vector<std::string>{});
        }
        EXPECT_EQ(Contents(), input);
    }
}

// No hosts file redirects nothing: clean, and not an unreadable file.
TEST_F(HostsFileTest, MissingFileIsCleanNotUnreadable)
{
    ASSERT_TRUE(DeleteFileA(m_path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND);
    HostsRedirects found;
    EXPECT_EQ(FindHostsRedirects(&found), 0);
    EXPECT_TRUE(found.bReadable);
    EXPECT_TRUE(found.lines.empty());
}

} // namespace
