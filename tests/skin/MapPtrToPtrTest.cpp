// The window registry's map: lookups, replacement, removal and reuse of its entry blocks.
#include "fw/CMapPtrToPtr.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>

namespace {

void *P(std::uintptr_t n)
{
    return reinterpret_cast<void *>(n);
}

TEST(MapPtrToPtrTest, SetLookupReplaceRemove)
{
    CMapPtrToPtr map(10);
    void *value = P(99);
    EXPECT_FALSE(map.Lookup(P(0x1000), value));
    EXPECT_EQ(value, P(99));   // untouched on a miss
    EXPECT_FALSE(map.RemoveKey(P(0x1000)));

    ASSERT_TRUE(map.SetAt(P(0x1000), P(1)));
    ASSERT_TRUE(map.SetAt(P(0x1000 + 17 * 16), P(2)));   // same bucket
    ASSERT_TRUE(map.SetAt(nullptr, P(3)));               // a null key is a key like any other
    EXPECT_EQ(map.GetCount(), 3);
    ASSERT_TRUE(map.Lookup(P(0x1000), value));
    EXPECT_EQ(value, P(1));
    ASSERT_TRUE(map.Lookup(P(0x1000 + 17 * 16), value));
    EXPECT_EQ(value, P(2));

    ASSERT_TRUE(map.SetAt(P(0x1000), P(4)));   // replaces
    EXPECT_EQ(map.GetCount(), 3);
    ASSERT_TRUE(map.Lookup(P(0x1000), value));
    EXPECT_EQ(value, P(4));

    EXPECT_TRUE(map.RemoveKey(P(0x1000)));
    EXPECT_FALSE(map.Lookup(P(0x1000), value));
    ASSERT_TRUE(map.Lookup(P(0x1000 + 17 * 16), value));   // its bucket neighbour stays
    EXPECT_EQ(value, P(2));
    EXPECT_TRUE(map.RemoveKey(P(0x1000 + 17 * 16)));
    EXPECT_TRUE(map.RemoveKey(nullptr));
    EXPECT_TRUE(map.IsEmpty());
    // Usable again after it emptied (and let go of its memory).
    ASSERT_TRUE(map.SetAt(P(8), P(9)));
    ASSERT_TRUE(map.Lookup(P(8), value));
    EXPECT_EQ(value, P(9));
}

TEST(MapPtrToPtrTest, AgreesWithAReferenceMapOverManyBlocks)
{
    CMapPtrToPtr map(10);
    std::map<void *, void *> reference;
    std::mt19937 rng(7);
    for (int i = 0; i < 20000; ++i) {
        void *key = P((rng() % 300) * 8);
        switch (rng() % 3) {
        case 0:
        case 1: {
            void *v = P(rng());
            ASSERT_TRUE(map.SetAt(key, v));
            reference[key] = v;
            break;
        }
        default:
            ASSERT_EQ(map.RemoveKey(key), reference.erase(key) == 1);
            break;
        }
        ASSERT_EQ(map.GetCount(), static_cast<int>(reference.size()));
    }
    for (std::uintptr_t k = 0; k < 300; ++k) {
        void *value = nullptr;
        auto it = reference.find(P(k * 8));
        ASSERT_EQ(map.Lookup(P(k * 8), value), it != reference.end());
        if (it != reference.end())
            EXPECT_EQ(value, it->second);
    }
    map.RemoveAll();
    EXPECT_TRUE(map.IsEmpty());
}

} // namespace
