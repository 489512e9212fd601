// Locating the product through the real registry, with its message boxes watched and closed,
// and probing real (signed, sparse) files in an install directory.
#include "repair/ProductLocation.h"

#include "repair/InstallDir.h"
#include "tests/support/FixturePaths.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/RegistryBackup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char PRODUCT_KEY[] = "Software\\Orvane\\Halvex";
const char MESSENGER_KEY[] = "Software\\Orvane\\Lumo";
const char MISSING_PATH_TEXT[] = u8"注册表不存在安装路径,请重新安装Halvex!";   // read back as Unicode
const char UNCHANGED[] = "unchanged";

// What one registry location holds.
struct Location {
    enum Kind { NONE, KEY_ONLY, STRING, BINARY } kind;
    std::string value;  // bytes stored, exactly (no terminator added)
};

const Location NO_KEY = {Location::NONE, ""};
const Location EMPTY_KEY = {Location::KEY_ONLY, ""};
Location Str(const std::string &text) { return {Location::STRING, text + '\0'}; }

void Put(const char *path, const Location &location)
{
    if (location.kind == Location::NONE)
        return;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    if (location.kind != Location::KEY_ONLY) {
        EXPECT_EQ(RegSetValueExA(key, "Install", 0,
                                 location.kind == Location::STRING ? REG_SZ : REG_BINARY,
                                 reinterpret_cast<const BYTE *>(location.value.data()),
                                 static_cast<DWORD>(location.value.size())),
                  ERROR_SUCCESS);
    }
    RegCloseKey(key);
}

struct LocateCase {
    const char *name;
    Location product;
    Location messenger;
    BOOL found;
    std::string installDir;
    int messages;
};

const std::string LONG_259 = "C:\\" + std::string(256, 'D');
const std::string LONG_260 = "C:\\" + std::string(257, 'D');

void PrintTo(const LocateCase &c, std::ostream *os) { *os << c.name; }

const LocateCase LOCATE_CASES[] = {
    {"ProductKey", Str("C:\\Halvex"), NO_KEY, TRUE, "C:\\Halvex", 0},
    {"ProductKeyWinsOverMessenger", Str("C:\\P"), Str("C:\\M"), TRUE, "C:\\P", 0},
    {"MessengerOnly", NO_KEY, Str("C:\\Lumo"), TRUE, "C:\\Lumo\\Halvex", 0},
    {"ProductWithoutValueThenMessenger", EMPTY_KEY, Str("C:\\Lumo"), TRUE, "C:\\Lumo\\Halvex", 1},
    {"BothWithoutValue", EMPTY_KEY, EMPTY_KEY, FALSE, UNCHANGED, 2},
    {"NeitherKey", NO_KEY, NO_KEY, FALSE, UNCHANGED, 0},
    {"MessengerWithoutValue", NO_KEY, EMPTY_KEY, FALSE, UNCHANGED, 1},
    {"Value260BytesWithTerminator", Str(LONG_259), NO_KEY, TRUE, LONG_259, 0},
    {"Value261BytesIsUnreadable", Str(LONG_260), NO_KEY, FALSE, UNCHANGED, 1},
    {"Value260BytesUnterminatedString", {Location::STRING, LONG_260}, NO_KEY, FALSE, UNCHANGED, 1},
    {"Value260BytesUnterminatedBinary", {Location::BINARY, LONG_260}, Str("C:\\Lumo"), TRUE,
     "C:\\Lumo\\Halvex", 1},
    {"ShortBinaryValue", {Location::BINARY, "C:\\B"}, NO_KEY, TRUE, "C:\\B", 0},
    // Only an absolute path with a drive or a share names the install directory; anything
    // else would resolve against the current drive or directory.
    {"EmptyValueIsUnreadable", Str(""), NO_KEY, FALSE, UNCHANGED, 1},
    {"RelativeValueIsUnreadable", Str("Orvane\\Halvex"), NO_KEY, FALSE, UNCHANGED, 1},
    {"RootRelativeValueIsUnreadable", Str("\\Halvex"), NO_KEY, FALSE, UNCHANGED, 1},
    {"DriveRelativeValueIsUnreadable", Str("C:Halvex"), NO_KEY, FALSE, UNCHANGED, 1},
    {"DevicePathIsUnreadable", Str("\\\\.\\C:\\Halvex"), NO_KEY, FALSE, UNCHANGED, 1},
    {"ShareWithoutNameIsUnreadable", Str("\\\\server\\"), NO_KEY, FALSE, UNCHANGED, 1},
    {"RelativeValueThenMessenger", Str("Halvex"), Str("D:\\Lumo"), TRUE, "D:\\Lumo\\Halvex", 1},
    {"EmptyMessengerValue", NO_KEY, Str(""), FALSE, UNCHANGED, 1},
    {"UncShare", Str("\\\\server\\share\\Halvex"), NO_KEY, TRUE, "\\\\server\\share\\Halvex", 0},
};

class LocateProductTest : public testing::TestWithParam<LocateCase> {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override
    {
        Clean();
        SetInstallDir("");
    }
    static void Clean()
    {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, PRODUCT_KEY);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, MESSENGER_KEY);
    }
    // What the prefix held before comes back afterwards.
    CRegistryBackup m_productBackup{HKEY_LOCAL_MACHINE, PRODUCT_KEY};
    CRegistryBackup m_messengerBackup{HKEY_LOCAL_MACHINE, MESSENGER_KEY};
};

TEST_P(LocateProductTest, ReadsLocationsInOrder)
{
    const LocateCase &c = GetParam();
    Put(PRODUCT_KEY, c.product);
    Put(MESSENGER_KEY, c.messenger);
    SetInstallDir(UNCHANGED);

    CMessageBoxWatcher watcher;
    watcher.Start();
    BOOL found = LocateProduct();
    std::vector<std::string> texts = watcher.Stop();

    EXPECT_EQ(found, c.found);
    EXPECT_EQ(std::string(GetInstallDir()), c.installDir);
    EXPECT_EQ(texts, std::vector<std::string>(c.messages, MISSING_PATH_TEXT));
}

INSTANTIATE_TEST_SUITE_P(Registry, LocateProductTest, testing::ValuesIn(LOCATE_CASES),
                         [](const testing::TestParamInfo<LocateCase> &info) {
                             return std::string(info.param.name);
                         });

TEST(ReadInstallValue, NullKeyFailsSilently)
{
    CMessageBoxWatcher watcher;
    watcher.Start();
    EXPECT_FALSE(ReadInstallValue(nullptr));
    EXPECT_TRUE(watcher.Stop().empty());
}

// An install directory of its own for the probes.
class ProductFilesTest : public testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        m_dir = std::string(temp) + "halvex-product-test";
        CreateDirectoryA(m_dir.c_str(), nullptr);
        SetInstallDir(m_dir.c_str());
        ASSERT_TRUE(TrustSigningRoot());
    }
    void TearDown() override
    {
        for (const char *name : {"Halvex.exe", "HalvexMain.exe", "big.bin"}) {
            SetFileAttributesA((m_dir + "\\" + name).c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA((m_dir + "\\" + name).c_str());
        }
        RemoveDirectoryA(m_dir.c_str());
        SetInstallDir("");
    }
    void Place(const char *fixture, const char *name)
    {
        ASSERT_TRUE(CopyFileA(SigningFixturePath(fixture).c_str(), (m_dir + "\\" + name).c_str(),
                              FALSE))
            << SigningFixturePath(fixture);
    }
    std::string m_dir;
};

TEST_F(ProductFilesTest, ExecutablesMustBePresentAndSignedByTheMaker)
{
    struct {
        const char *fixture;  // null: no file
        BOOL genuine;
    } cases[] = {{nullptr, FALSE}, {"maker.exe", TRUE}, {"unsigned.exe", FALSE},
                 {"other.exe", FALSE}, {"tampered.exe", FALSE}};
    for (const auto &c : cases) {
        for (const char *name : {"Halvex.exe", "HalvexMain.exe"})
            DeleteFileA((m_dir + "\\" + name).c_str());
        if (c.fixture) {
            Place(c.fixture, "Halvex.exe");
            Place(c.fixture, "HalvexMain.exe");
        }
        SCOPED_TRACE(c.fixture ? c.fixture : "no file");
        EXPECT_EQ(CheckProductExe(), c.genuine);
        EXPECT_EQ(CheckProductMainExe(), c.genuine);
    }
    // Each probe looks at its own file.
    DeleteFileA((m_dir + "\\HalvexMain.exe").c_str());
    Place("maker.exe", "Halvex.exe");
    EXPECT_TRUE(CheckProductExe());
    EXPECT_FALSE(CheckProductMainExe());
}

TEST_F(ProductFilesTest, SizeIsTheLow32Bits)
{
    EXPECT_EQ(GetProductFileSize(nullptr), 0u);
    EXPECT_EQ(GetProductFileSize("big.bin"), 0u);
    Place("maker-100000.exe", "Halvex.exe");
    EXPECT_EQ(GetProductFileSize("Halvex.exe"), 100000u);

    // 4 GiB + 10 bytes, sparse: nothing is written.
    HANDLE file = CreateFileA((m_dir + "\\big.bin").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER end;
    end.QuadPart = (1LL << 32) + 10;
    ASSERT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
    EXPECT_EQ(GetProductFileSize("big.bin"), 10u);
}

} // namespace
