#include "repair/HandleTable.h"

#include <cstring>

namespace {

uint64_t ReadUnsigned(const unsigned char *p, unsigned width)
{
    uint64_t value = 0;
    for (unsigned i = width; i-- > 0;)
        value = (value << 8) | p[i];
    return value;
}

char Fold(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

HandleTable::HandleTable(const void *data, size_t size, int infoClass, unsigned pointerSize)
    : m_pData(static_cast<const unsigned char *>(data)), m_nSize(data ? size : 0),
      m_bExtended(infoClass == HANDLE_TABLE_EX_CLASS), m_nPointer(pointerSize == 8 ? 8 : 4),
      m_nCount(0)
{
    if (m_bExtended) {
        // Count and a reserved word, both pointer-sized; then object, process id and
        // handle (pointer-sized), access, back-trace index, type, attributes, reserved.
        m_nHeader = 2 * m_nPointer;
        m_nEntry = 3 * m_nPointer + 16;
    } else {
        // A 32-bit count padded to pointer alignment; then the entry of HandleEntry.
        m_nHeader = m_nPointer;
        m_nEntry = m_nPointer == 8 ? 24 : 16;
    }
    if (m_nSize < m_nHeader)
        return;
    uint64_t declared = ReadUnsigned(m_pData, m_bExtended ? m_nPointer : 4);
    uint64_t fits = (m_nSize - m_nHeader) / m_nEntry;
    m_nCount = static_cast<size_t>(declared < fits ? declared : fits);
}

bool HandleTable::Entry(size_t index, HandleRecord *record) const
{
    if (index >= m_nCount || !record)
        return false;
    const unsigned char *p = m_pData + m_nHeader + index * m_nEntry;
    if (m_bExtended) {
        record->ProcessId = ReadUnsigned(p + m_nPointer, m_nPointer);
        record->Handle = ReadUnsigned(p + 2 * m_nPointer, m_nPointer);
        record->GrantedAccess = static_cast<uint32_t>(ReadUnsigned(p + 3 * m_nPointer, 4));
        record->ObjectType = static_cast<uint32_t>(ReadUnsigned(p + 3 * m_nPointer + 6, 2));
    } else {
        record->ProcessId = ReadUnsigned(p, 4);
        record->ObjectType = p[4];
        record->Handle = ReadUnsigned(p + 6, 2);
        record->GrantedAccess = static_cast<uint32_t>(ReadUnsigned(p + 8 + m_nPointer, 4));
    }
    return true;
}

uint32_t HandleTable::FindType(uint64_t pid, uint64_t handle) const
{
    // The class-16 table keeps only the low 16 bits of a handle value.
    if (!m_bExtended)
        handle &= 0xFFFF;
    HandleRecord record;
    for (size_t i = 0; i < m_nCount; ++i) {
        Entry(i, &record);
        if (record.Handle == handle && record.ProcessId == pid)
            return record.ObjectType;
    }
    return 0;
}

bool ContainsNoCase(const char *text, const char *fragment, const bool *leadBytes)
{
    if (!text || !fragment)
        return false;
    size_t length = strlen(fragment);
    for (const char *start = text; *start;) {
        size_t i = 0;
        while (i < length && start[i] && Fold(start[i]) == Fold(fragment[i]))
            ++i;
        if (i == length)
            return true;
        // Step over a whole double-byte character.
        if (leadBytes && leadBytes[static_cast<unsigned char>(*start)] && start[1])
            start += 2;
        else
            start += 1;
    }
    return length == 0;
}
