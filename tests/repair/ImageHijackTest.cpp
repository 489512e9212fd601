// Removing an image-file-execution entry of the product's executable, in the real registry.
#include "repair/ImageHijack.h"

#include "tests/support/RegistryBackup.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string IFEO = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";

bool KeyExists(const std::string &path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool CreateKey(const std::string &path)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void DeleteTree(const std::string &path)
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, path.c_str());
}

class ImageHijackTest : public testing::Test {
protected:
    void SetUp() override
    {
        DeleteTree(m_product);
        DeleteTree(m_other);
    }
    void TearDown() override
    {
        DeleteTree(m_product);
        DeleteTree(m_other);
    }
    const std::string m_product = IFEO + "\\Halvex.exe";
    const std::string m_other = IFEO + "\\HalvexMain.exe";
    CRegistryBackup m_productBackup{HKEY_LOCAL_MACHINE, m_product};
    CRegistryBackup m_otherBackup{HKEY_LOCAL_MACHINE, m_other};
};

TEST_F(ImageHijackTest, EmptyKeyIsDeleted)
{
    ASSERT_TRUE(CreateKey(m_product));
    EXPECT_EQ(RemoveImageHijack(), 1);
    EXPECT_FALSE(KeyExists(m_product));
}

TEST_F(ImageHijackTest, DebuggerValueIsDeletedWithItsKey)
{
    ASSERT_TRUE(CreateKey(m_product));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, m_product.c_str(), 0, KEY_SET_VALUE, &key), 0);
    const char debugger[] = "C:\\evil.exe";
    RegSetValueExA(key, "Debugger", 0, REG_SZ, reinterpret_cast<const BYTE *>(debugger),
                   sizeof(debugger));
    RegCloseKey(key);
    EXPECT_EQ(RemoveImageHijack(), 1);
    EXPECT_FALSE(KeyExists(m_product));
}

TEST_F(ImageHijackTest, KeyWithSubkeyStays)
{
    ASSERT_TRUE(CreateKey(m_product + "\\Sub"));
    EXPECT_EQ(RemoveImageHijack(), 2);
    EXPECT_TRUE(KeyExists(m_product + "\\Sub"));
}

TEST_F(ImageHijackTest, OtherExecutableIsNotTouched)
{
    ASSERT_TRUE(CreateKey(m_other));
    EXPECT_EQ(RemoveImageHijack(), 0);
    EXPECT_TRUE(KeyExists(m_other));
}

} // namespace
