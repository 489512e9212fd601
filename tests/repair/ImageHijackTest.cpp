// Removing an image-file-execution entry of the product's executable, in the real registry.
#include "repair/ImageHijack.h"

#include "tests/support/RegistryBackup.h"
#include "tests/support/RegistryKeys.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string IFEO = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";

bool KeyExists(const std::string &path)
{
    return KeyExists(HKEY_LOCAL_MACHINE, path);
}

bool CreateKey(const std::string &path)
{
    return CreateKey(HKEY_LOCAL_MACHINE, path);
}

void DeleteTree(const std::string &path)
{
    UnprotectKey(HKEY_LOCAL_MACHINE, path);
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

enum class Key { Absent, Present, WithSubkey, Unreadable };

// Only an absent key is no hijack. One closed to reading is there all the same (malware guards
// its key with an ACL): the tool cannot repair it, and says so.
TEST_F(ImageHijackTest, AbsentPresentOrUnreadable)
{
    const struct {
        const char *name;
        Key key;
        int removed;      // RemoveImageHijack
        int found;        // FindImageHijack, which changes nothing
        bool present;
        bool keyStays;
    } cases[] = {
        {"absent", Key::Absent, 0, 0, false, false},
        {"present", Key::Present, 1, 1, true, false},
        {"with a subkey", Key::WithSubkey, 2, 2, true, true},
        {"unreadable", Key::Unreadable, 2, 2, true, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        DeleteTree(m_product);
        if (c.key != Key::Absent) {
            ASSERT_TRUE(CreateKey(c.key == Key::WithSubkey ? m_product + "\\Sub" : m_product));
        }
        if (c.key == Key::Unreadable) {
            ASSERT_TRUE(ProtectKeyFromReading(HKEY_LOCAL_MACHINE, m_product));
            HKEY key = nullptr;
            ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, m_product.c_str(), 0, KEY_READ, &key), ERROR_ACCESS_DENIED)
                << "this registry does not enforce the key's DACL";
        }
        const bool wasThere = c.key != Key::Absent;

        ImageHijackState state;
        state.bPresent = !c.present;
        EXPECT_EQ(FindImageHijack(&state), c.found);
        EXPECT_EQ(state.bPresent, c.present);
        EXPECT_EQ(state.bHasSubkeys, c.key == Key::WithSubkey);
        // Looking changed nothing.
        EXPECT_EQ(KeyExists(m_product) || KeyExistsUnreadable(HKEY_LOCAL_MACHINE, m_product), wasThere);

        EXPECT_EQ(RemoveImageHijack(), c.removed);
        EXPECT_EQ(KeyExists(m_product) || KeyExistsUnreadable(HKEY_LOCAL_MACHINE, m_product), c.keyStays);
    }
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

TEST_F(ImageHijackTest, OtherExecutableIsNotTouched)
{
    ASSERT_TRUE(CreateKey(m_other));
    EXPECT_EQ(RemoveImageHijack(), 0);
    EXPECT_TRUE(KeyExists(m_other));
}

} // namespace
