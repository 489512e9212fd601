// Reading the system handle table (information classes 16 and 64) and matching file
// names against a fragment. Plain C++ so the byte-level work runs natively too.
#pragma once

#include <cstddef>
#include <cstdint>

// One entry of the class-16 table as the running build lays it out: 16 bytes on a
// 32-bit build, 24 on a 64-bit one (the object address is pointer-sized).
struct HandleEntry
{
    uint32_t ProcessId;
    uint8_t ObjectType;
    uint8_t Flags;
    uint16_t Handle;
    void *Object;
    uint32_t GrantedAccess;
};
static_assert(sizeof(void *) != 4 || sizeof(HandleEntry) == 16, "32-bit entry is 16 bytes");
static_assert(sizeof(void *) != 8 || sizeof(HandleEntry) == 24, "64-bit entry is 24 bytes");

enum
{
    HANDLE_TABLE_CLASS = 16,    // 8-bit types, 16-bit handle values
    HANDLE_TABLE_EX_CLASS = 64, // full-width process ids and handle values
};

// An entry of either table, widened.
struct HandleRecord
{
    uint64_t ProcessId;
    uint64_t Handle;
    uint32_t ObjectType;
    uint32_t GrantedAccess;
};

class HandleTable
{
public:
    // data/size: the buffer the system filled; pointerSize: 4 or 8, the width of the
    // process that asked for it.
    HandleTable(const void *data, size_t size, int infoClass, unsigned pointerSize = sizeof(void *));

    // Entries present in the buffer (a count beyond the buffer is cut to what fits).
    size_t Count() const { return m_nCount; }
    bool Entry(size_t index, HandleRecord *record) const;

    // Type number of the entry for handle in process pid, or 0 when there is none.
    uint32_t FindType(uint64_t pid, uint64_t handle) const;

private:
    const unsigned char *m_pData;
    size_t m_nSize;
    bool m_bExtended;
    unsigned m_nPointer;
    size_t m_nHeader;
    size_t m_nEntry;
    size_t m_nCount;
};

// Case-insensitive (ASCII letters) search of fragment in text. leadBytes, when given,
// marks the code page's double-byte lead bytes so that no match starts on a trail byte.
bool ContainsNoCase(const char *text, const char *fragment, const bool *leadBytes = nullptr);
