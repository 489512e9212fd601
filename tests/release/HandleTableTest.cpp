// Table layouts of both classes on both pointer widths, and the name match.
#include "repair/HandleTable.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

void Put(std::vector<unsigned char> &buffer, size_t offset, uint64_t value, unsigned width)
{
    if (buffer.size() < offset + width)
        buffer.resize(offset + width);
    for (unsigned i = 0; i < width; ++i)
        buffer[offset + i] = static_cast<unsigned char>(value >> (8 * i));
}

struct Sample
{
    uint64_t pid, handle;
    uint32_t type, access;
};
const Sample SAMPLES[] = {{4, 0x1C, 37, 0x120089}, {0x12345, 0x1ABCD4, 0x1F3, 0x12019F}};

// Builds a table of the given class and width the way the system lays it out.
std::vector<unsigned char> BuildTable(int infoClass, unsigned ptr, size_t count)
{
    std::vector<unsigned char> b;
    bool ex = infoClass == HANDLE_TABLE_EX_CLASS;
    size_t header = ex ? 2 * ptr : ptr, entry = ex ? 3 * ptr + 16 : (ptr == 8 ? 24 : 16);
    Put(b, 0, count, ex ? ptr : 4);
    b.resize(header + count * entry, 0xEE);
    for (size_t i = 0; i < count; ++i) {
        const Sample &s = SAMPLES[i % 2];
        size_t e = header + i * entry;
        if (ex) {
            Put(b, e, 0xFFFF800012345678ull, ptr);
            Put(b, e + ptr, s.pid, ptr);
            Put(b, e + 2 * ptr, s.handle, ptr);
            Put(b, e + 3 * ptr, s.access, 4);
            Put(b, e + 3 * ptr + 4, 0, 2);
            Put(b, e + 3 * ptr + 6, s.type, 2);
            Put(b, e + 3 * ptr + 8, 2, 4);
        } else {
            Put(b, e, s.pid & 0xFFFF, 4);
            Put(b, e + 4, s.type & 0xFF, 1);
            Put(b, e + 5, 2, 1);
            Put(b, e + 6, s.handle & 0xFFFF, 2);
            Put(b, e + 8, 0xFFFF800012345678ull, ptr);
            Put(b, e + 8 + ptr, s.access, 4);
        }
    }
    return b;
}

} // namespace

TEST(HandleTable, ReadsBothClassesOnBothWidths)
{
    for (int infoClass : {HANDLE_TABLE_CLASS, HANDLE_TABLE_EX_CLASS}) {
        for (unsigned ptr : {4u, 8u}) {
            SCOPED_TRACE(testing::Message() << "class " << infoClass << " width " << ptr);
            std::vector<unsigned char> b = BuildTable(infoClass, ptr, 3);
            HandleTable table(b.data(), b.size(), infoClass, ptr);
            ASSERT_EQ(3u, table.Count());
            for (size_t i = 0; i < 3; ++i) {
                const Sample &s = SAMPLES[i % 2];
                HandleRecord r;
                ASSERT_TRUE(table.Entry(i, &r));
                bool ex = infoClass == HANDLE_TABLE_EX_CLASS;
                EXPECT_EQ(ex ? s.pid : (s.pid & 0xFFFF), r.ProcessId);
                EXPECT_EQ(ex ? s.handle : (s.handle & 0xFFFF), r.Handle);
                EXPECT_EQ(ex ? s.type : (s.type & 0xFF), r.ObjectType);
                EXPECT_EQ(s.access, r.GrantedAccess);
            }
            HandleRecord r;
            EXPECT_FALSE(table.Entry(3, &r));
        }
    }
}

TEST(HandleTable, CountIsCutToTheBuffer)
{
    for (int infoClass : {HANDLE_TABLE_CLASS, HANDLE_TABLE_EX_CLASS}) {
        std::vector<unsigned char> b = BuildTable(infoClass, 8, 4);
        Put(b, 0, 1000000, 4); // declared far more than present
        EXPECT_EQ(4u, HandleTable(b.data(), b.size(), infoClass, 8).Count());
        EXPECT_EQ(3u, HandleTable(b.data(), b.size() - 1, infoClass, 8).Count());
        EXPECT_EQ(0u, HandleTable(b.data(), 3, infoClass, 8).Count());
        EXPECT_EQ(0u, HandleTable(nullptr, 100, infoClass, 8).Count());
    }
}

TEST(HandleTable, EntryStructMatchesTheClass16LayoutOfThisBuild)
{
    std::vector<unsigned char> b(sizeof(void *) + 2 * sizeof(HandleEntry));
    Put(b, 0, 2, 4);
    HandleEntry entries[2] = {{0x1234, 37, 2, 0x5C, nullptr, 0x120089}, {8, 40, 0, 0xFFFC, &b, 0x1F01FF}};
    memcpy(b.data() + sizeof(void *), entries, sizeof(entries));
    HandleTable table(b.data(), b.size(), HANDLE_TABLE_CLASS);
    ASSERT_EQ(2u, table.Count());
    HandleRecord r;
    table.Entry(1, &r);
    EXPECT_EQ(8u, r.ProcessId);
    EXPECT_EQ(40u, r.ObjectType);
    EXPECT_EQ(0xFFFCu, r.Handle);
    EXPECT_EQ(0x1F01FFu, r.GrantedAccess);
}

TEST(HandleTable, FindTypeComparesClass16HandlesByTheirLow16Bits)
{
    std::vector<unsigned char> b = BuildTable(HANDLE_TABLE_CLASS, 8, 2);
    HandleTable table(b.data(), b.size(), HANDLE_TABLE_CLASS, 8);
    EXPECT_EQ(0x1F3u & 0xFF, table.FindType(0x2345, 0x1ABCD4));
    EXPECT_EQ(0u, table.FindType(0x2346, 0x1ABCD4));
    std::vector<unsigned char> x = BuildTable(HANDLE_TABLE_EX_CLASS, 8, 2);
    HandleTable ex(x.data(), x.size(), HANDLE_TABLE_EX_CLASS, 8);
    EXPECT_EQ(0x1F3u, ex.FindType(0x12345, 0x1ABCD4));
    EXPECT_EQ(0u, ex.FindType(0x12345, 0xBCD4));
}

TEST(HandleTable, ContainsNoCase)
{
    bool lead[256] = {};
    for (int i = 0x81; i <= 0xFE; ++i)
        lead[i] = true;
    struct Case
    {
        const char *text, *fragment;
        bool useLead, expected;
    } cases[] = {
        {"\\dir\\Halvex.exe", "Halvex.exe", false, true},
        {"\\dir\\OldHalvex.exe.bak", "Halvex.exe", false, true},
        {"\\CAPS\\HALVEX.EXE", "Halvex.exe", false, true},
        {"\\dir\\Halvex.ex", "Halvex.exe", false, false},
        {"\\dir\\HalvexMain.exe", "Halvex.exe", false, false},
        {"", "Halvex.exe", false, false},
        {"", "", false, true},
        {nullptr, "x", false, false},
        {"x", nullptr, false, false},
        // 0x81 0x48 is one double-byte character whose trail byte is 'H'.
        {"\\\x81Halvex.exe", "Halvex.exe", true, false},
        {"\\\x81Halvex.exe", "Halvex.exe", false, true},
        {"\\\x81\x82Halvex.exe", "Halvex.exe", true, true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.expected, ContainsNoCase(c.text, c.fragment, c.useLead ? lead : nullptr))
            << (c.text ? c.text : "(null)") << " / " << (c.fragment ? c.fragment : "(null)");
}
