// Hash map from pointer-sized keys to pointers. The entries come from blocks of a fixed
// number of entries, so a map that stays small allocates once. It never owns what the
// values point to. Nothing throws: an entry that cannot be allocated is reported by SetAt.
// Plain C++: no windows.h.
#pragma once

#include <cstddef>

class CMapPtrToPtr {
public:
    explicit CMapPtrToPtr(int nBlockSize = 10);
    CMapPtrToPtr(const CMapPtrToPtr &) = delete;
    CMapPtrToPtr &operator=(const CMapPtrToPtr &) = delete;
    ~CMapPtrToPtr();

    int GetCount() const { return m_nCount; }
    bool IsEmpty() const { return m_nCount == 0; }

    // The value of key, into rValue; false (rValue untouched) when the key is absent.
    bool Lookup(void *key, void *&rValue) const;
    // Adds or replaces; false when the entry could not be allocated (the map is unchanged).
    bool SetAt(void *key, void *newValue);
    // False when the key was absent.
    bool RemoveKey(void *key);
    void RemoveAll();

private:
    struct CAssoc {
        CAssoc *pNext;
        void *key;
        void *value;
    };
    struct CBlock {
        CBlock *pNext;
        // followed by m_nBlockSize entries
    };

    std::size_t HashKey(void *key) const;
    CAssoc *Find(void *key, std::size_t nHash) const;
    CAssoc *NewAssoc();

    CAssoc **m_pHashTable;
    std::size_t m_nHashTableSize;
    int m_nCount;
    CAssoc *m_pFreeList;
    CBlock *m_pBlocks;
    int m_nBlockSize;
};
