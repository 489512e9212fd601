#include "fw/CMapPtrToPtr.h"

#include <cstdint>
#include <new>

namespace {
// A prime: pointers are aligned, so their low bits say little.
const std::size_t HASH_TABLE_SIZE = 17;
} // namespace

CMapPtrToPtr::CMapPtrToPtr(int nBlockSize)
    : m_pHashTable(nullptr), m_nHashTableSize(HASH_TABLE_SIZE), m_nCount(0), m_pFreeList(nullptr),
      m_pBlocks(nullptr), m_nBlockSize(nBlockSize > 0 ? nBlockSize : 10)
{
}

CMapPtrToPtr::~CMapPtrToPtr()
{
    RemoveAll();
}

std::size_t CMapPtrToPtr::HashKey(void *key) const
{
    return (reinterpret_cast<std::uintptr_t>(key) >> 4) % m_nHashTableSize;
}

CMapPtrToPtr::CAssoc *CMapPtrToPtr::Find(void *key, std::size_t nHash) const
{
    if (!m_pHashTable)
        return nullptr;
    for (CAssoc *p = m_pHashTable[nHash]; p; p = p->pNext)
        if (p->key == key)
            return p;
    return nullptr;
}

bool CMapPtrToPtr::Lookup(void *key, void *&rValue) const
{
    const CAssoc *p = Find(key, HashKey(key));
    if (!p)
        return false;
    rValue = p->value;
    return true;
}

CMapPtrToPtr::CAssoc *CMapPtrToPtr::NewAssoc()
{
    if (!m_pFreeList) {
        // One more block, its entries chained onto the free list.
        const std::size_t n = static_cast<std::size_t>(m_nBlockSize);
        void *mem = ::operator new(sizeof(CBlock) + n * sizeof(CAssoc), std::nothrow);
        if (!mem)
            return nullptr;
        CBlock *pBlock = static_cast<CBlock *>(mem);
        pBlock->pNext = m_pBlocks;
        m_pBlocks = pBlock;
        CAssoc *pEntries = reinterpret_cast<CAssoc *>(pBlock + 1);
        for (std::size_t i = n; i-- > 0;) {
            pEntries[i].pNext = m_pFreeList;
            m_pFreeList = &pEntries[i];
        }
    }
    CAssoc *p = m_pFreeList;
    m_pFreeList = p->pNext;
    return p;
}

bool CMapPtrToPtr::SetAt(void *key, void *newValue)
{
    const std::size_t nHash = HashKey(key);
    if (CAssoc *p = Find(key, nHash)) {
        p->value = newValue;
        return true;
    }
    if (!m_pHashTable) {
        m_pHashTable = new (std::nothrow) CAssoc *[m_nHashTableSize]();
        if (!m_pHashTable)
            return false;
    }
    CAssoc *p = NewAssoc();
    if (!p)
        return false;
    p->key = key;
    p->value = newValue;
    p->pNext = m_pHashTable[nHash];
    m_pHashTable[nHash] = p;
    ++m_nCount;
    return true;
}

bool CMapPtrToPtr::RemoveKey(void *key)
{
    if (!m_pHashTable)
        return false;
    for (CAssoc **pp = &m_pHashTable[HashKey(key)]; *pp; pp = &(*pp)->pNext) {
        CAssoc *p = *pp;
        if (p->key != key)
            continue;
        *pp = p->pNext;
        p->pNext = m_pFreeList;
        m_pFreeList = p;
        if (--m_nCount == 0)
            RemoveAll();   // an empty map holds no memory
        return true;
    }
    return false;
}

void CMapPtrToPtr::RemoveAll()
{
    delete[] m_pHashTable;
    m_pHashTable = nullptr;
    m_nCount = 0;
    m_pFreeList = nullptr;
    while (m_pBlocks) {
        CBlock *pNext = m_pBlocks->pNext;
        ::operator delete(m_pBlocks);
        m_pBlocks = pNext;
    }
}
