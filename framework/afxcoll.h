// The class library's collection templates: CArray, CList and CMap, with POSITION, HashKey and
// CompareElements.
//
// Storage that cannot be had is thrown as a memory exception; an index or position that is out of
// range, or a head/tail asked of an empty list, as an invalid-argument exception. Elements are
// constructed and destroyed as C++ objects (value-initialised when made without a value, so plain
// data starts zeroed).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

#include "platform/win32api.h"
#include "framework/afxexcept.h"
#include "framework/afxstr.h"

struct QfPositionTag;
// An opaque place in a list or a map; NULL means "none".
typedef QfPositionTag* POSITION;
#define BEFORE_START_POSITION ((POSITION)(INT_PTR) - 1)

// ---------------------------------------------------------------------------------------------
// Hashing and comparing of keys. Specialise HashKey for a key type of your own.

// Integer and enumeration keys hash to their value; 64-bit values fold their high half onto the low.
template <class ARG_KEY>
inline UINT HashKey(ARG_KEY key) {
    typedef typename std::remove_cv<typename std::remove_reference<ARG_KEY>::type>::type K;
    static_assert(std::is_integral<K>::value || std::is_enum<K>::value || std::is_pointer<K>::value,
                  "HashKey needs a specialisation for this key type");
    if constexpr (std::is_pointer<K>::value) {
        const uint64_t v = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(key));
        return static_cast<UINT>(v ^ (v >> 32));
    } else if constexpr (sizeof(K) <= sizeof(UINT)) {
        return static_cast<UINT>(key);
    } else {
        const uint64_t v = static_cast<uint64_t>(key);
        return static_cast<UINT>(v ^ (v >> 32));
    }
}

// Texts: our own choice of hash, h = h * 33 + byte over the bytes up to the NUL, starting from 0.
inline UINT HashText(const char* text) {
    UINT h = 0;
    if (text)
        for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
            h = (h << 5) + h + *p;
    return h;
}
template <>
inline UINT HashKey<LPCSTR>(LPCSTR key) { return HashText(key); }
template <>
inline UINT HashKey<LPSTR>(LPSTR key) { return HashText(key); }
template <>
inline UINT HashKey<CString>(CString key) { return HashText(key); }
template <>
inline UINT HashKey<const CString&>(const CString& key) { return HashText(key); }
template <>
inline UINT HashKey<CString&>(CString& key) { return HashText(key); }

template <class TYPE, class ARG_TYPE>
inline BOOL CompareElements(const TYPE* element1, const ARG_TYPE* element2) {
    return *element1 == *element2;
}

namespace afx_detail {

// Raw storage for `count` objects of T, or a memory exception.
template <class T>
T* AllocateRaw(size_t count) {
    static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__, "over-aligned element type");
    if (count > static_cast<size_t>(PTRDIFF_MAX) / sizeof(T)) AfxThrowMemoryException();
    void* p = ::operator new(count * sizeof(T), std::nothrow);
    if (!p) AfxThrowMemoryException();
    return static_cast<T*>(p);
}

inline void FreeRaw(void* p) noexcept { ::operator delete(p); }

}  // namespace afx_detail

// ---------------------------------------------------------------------------------------------
// CArray: a growable array of TYPE, passed in as ARG_TYPE.

template <class TYPE, class ARG_TYPE = const TYPE&>
class CArray {
public:
    CArray() noexcept = default;
    ~CArray() { RemoveAll(); }
    CArray(const CArray&) = delete;
    CArray& operator=(const CArray&) = delete;

    INT_PTR GetSize() const noexcept { return m_nSize; }
    BOOL IsEmpty() const noexcept { return m_nSize == 0; }

    void RemoveAll() noexcept;

    const TYPE& operator[](INT_PTR index) const { return m_pData[CheckIndex(index)]; }
    TYPE& operator[](INT_PTR index) { return m_pData[CheckIndex(index)]; }

    // Returns the index of the new element.
    INT_PTR Add(ARG_TYPE element);

private:
    INT_PTR CheckIndex(INT_PTR index) const {
        if (index < 0 || index >= m_nSize) AfxThrowInvalidArgException();
        return index;
    }
    INT_PTR NextCapacity(INT_PTR needed) const;
    void Reallocate(INT_PTR capacity);

    TYPE* m_pData = nullptr;
    INT_PTR m_nSize = 0;
    INT_PTR m_nMaxSize = 0;
};

template <class TYPE, class ARG_TYPE>
INT_PTR CArray<TYPE, ARG_TYPE>::NextCapacity(INT_PTR needed) const {
    INT_PTR step = m_nSize / 2;  // geometric growth keeps Add amortised constant
    if (step < 4) step = 4;
    INT_PTR capacity = m_nMaxSize + step;
    if (capacity < needed) capacity = needed;
    return capacity;
}

// Moves the elements into storage for `capacity` elements (at least m_nSize).
template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::Reallocate(INT_PTR capacity) {
    TYPE* data = afx_detail::AllocateRaw<TYPE>(static_cast<size_t>(capacity));
    INT_PTR moved = 0;
    try {
        for (; moved < m_nSize; ++moved) ::new (static_cast<void*>(data + moved)) TYPE(std::move_if_noexcept(m_pData[moved]));
    } catch (...) {
        for (INT_PTR i = 0; i < moved; ++i) data[i].~TYPE();
        afx_detail::FreeRaw(data);
        throw;
    }
    for (INT_PTR i = 0; i < m_nSize; ++i) m_pData[i].~TYPE();
    afx_detail::FreeRaw(m_pData);
    m_pData = data;
    m_nMaxSize = capacity;
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::RemoveAll() noexcept {
    while (m_nSize > 0) m_pData[--m_nSize].~TYPE();
    afx_detail::FreeRaw(m_pData);
    m_pData = nullptr;
    m_nMaxSize = 0;
}

template <class TYPE, class ARG_TYPE>
INT_PTR CArray<TYPE, ARG_TYPE>::Add(ARG_TYPE element) {
    if (m_nSize == m_nMaxSize) {
        // Copied before the old storage goes: the element may live in it.
        TYPE copy(element);
        Reallocate(NextCapacity(m_nSize + 1));
        ::new (static_cast<void*>(m_pData + m_nSize)) TYPE(std::move(copy));
    } else {
        ::new (static_cast<void*>(m_pData + m_nSize)) TYPE(element);
    }
    return m_nSize++;
}

// ---------------------------------------------------------------------------------------------
// CList: a doubly linked list of TYPE. The block size of the constructor is accepted for
// compatibility; nodes are allocated one by one.

template <class TYPE, class ARG_TYPE = const TYPE&>
class CList {
public:
    explicit CList(INT_PTR blockSize = 10) noexcept { (void)blockSize; }
    ~CList() { RemoveAll(); }
    CList(const CList&) = delete;
    CList& operator=(const CList&) = delete;

    BOOL IsEmpty() const noexcept { return m_nCount == 0; }

    POSITION AddTail(ARG_TYPE element) { return Link(NewNode(element), m_pTail, nullptr); }
    void RemoveAll() noexcept;

    POSITION GetHeadPosition() const noexcept { return ToPos(m_pHead); }
    // Return the element at position and move position to the next one, NULL at the end.
    TYPE& GetNext(POSITION& position);
    const TYPE& GetNext(POSITION& position) const;



private:
    struct CNode {
        explicit CNode(ARG_TYPE value) : data(value) {}
        CNode* pNext = nullptr;
        CNode* pPrev = nullptr;
        TYPE data;
    };

    static POSITION ToPos(CNode* node) noexcept { return reinterpret_cast<POSITION>(node); }
    static CNode* Node(POSITION position) {
        if (!position || position == BEFORE_START_POSITION) AfxThrowInvalidArgException();
        return reinterpret_cast<CNode*>(position);
    }
    static CNode* NewNode(ARG_TYPE value) {
        CNode* node = new (std::nothrow) CNode(value);
        if (!node) AfxThrowMemoryException();
        return node;
    }
    POSITION Link(CNode* node, CNode* prev, CNode* next) noexcept;

    CNode* m_pHead = nullptr;
    CNode* m_pTail = nullptr;
    INT_PTR m_nCount = 0;
};

template <class TYPE, class ARG_TYPE>
POSITION CList<TYPE, ARG_TYPE>::Link(CNode* node, CNode* prev, CNode* next) noexcept {
    node->pPrev = prev;
    node->pNext = next;
    (prev ? prev->pNext : m_pHead) = node;
    (next ? next->pPrev : m_pTail) = node;
    ++m_nCount;
    return ToPos(node);
}

template <class TYPE, class ARG_TYPE>
void CList<TYPE, ARG_TYPE>::RemoveAll() noexcept {
    while (m_pHead) {
        CNode* next = m_pHead->pNext;
        delete m_pHead;
        m_pHead = next;
    }
    m_pTail = nullptr;
    m_nCount = 0;
}

template <class TYPE, class ARG_TYPE>
TYPE& CList<TYPE, ARG_TYPE>::GetNext(POSITION& position) {
    CNode* node = Node(position);
    position = ToPos(node->pNext);
    return node->data;
}

template <class TYPE, class ARG_TYPE>
const TYPE& CList<TYPE, ARG_TYPE>::GetNext(POSITION& position) const {
    CNode* node = Node(position);
    position = ToPos(node->pNext);
    return node->data;
}

// ---------------------------------------------------------------------------------------------
// CMap: a hash map from KEY (passed as ARG_KEY) to VALUE (passed as ARG_VALUE).
//
// The hash table (17 buckets unless InitHashTable says otherwise) is made on the first insertion;
// the bucket of a key is HashKey<ARG_KEY>(key) % table size. Associations come from blocks of
// `blockSize` (default 10), go back to a free list when removed, and everything is freed when the
// last one goes or on RemoveAll. A new association is put at the head of its bucket's chain, and
// GetNextAssoc walks bucket 0 first, each chain from its head: so within a bucket the newest key
// comes first.

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
class CMap {
public:
    class CPair {
    public:
        const KEY key;
        VALUE value;

    protected:
        explicit CPair(ARG_KEY keyValue) : key(keyValue), value() {}
    };

    explicit CMap(INT_PTR blockSize = 10) noexcept : m_nBlockSize(blockSize > 0 ? blockSize : 10) {}
    ~CMap() { RemoveAll(); }
    CMap(const CMap&) = delete;
    CMap& operator=(const CMap&) = delete;

    INT_PTR GetCount() const noexcept { return m_nCount; }
    BOOL IsEmpty() const noexcept { return m_nCount == 0; }

    BOOL Lookup(ARG_KEY key, VALUE& value) const;
    // The value of the key, added (value-initialised) when missing.
    VALUE& operator[](ARG_KEY key);
    void SetAt(ARG_KEY key, ARG_VALUE value) { (*this)[key] = value; }
    BOOL RemoveKey(ARG_KEY key);
    void RemoveAll() noexcept;

    POSITION GetStartPosition() const noexcept { return m_nCount == 0 ? nullptr : BEFORE_START_POSITION; }
    void GetNextAssoc(POSITION& position, KEY& key, VALUE& value) const;

    // Sets the number of buckets. Set while the map has associations, the table is made anew and
    // they are hashed into it again.
    void InitHashTable(UINT size, BOOL allocNow = TRUE);

private:
    class CAssoc : public CPair {
    public:
        explicit CAssoc(ARG_KEY keyValue) : CPair(keyValue) {}
        CAssoc* pNext = nullptr;
        UINT nHashValue = 0;
    };
    // A slot of a block: free (linked on the free list) or holding one association.
    union Slot {
        Slot* nextFree;
        alignas(CAssoc) unsigned char raw[sizeof(CAssoc)];
    };

    CAssoc* Find(ARG_KEY key) const;
    CAssoc* First() const noexcept;
    CAssoc* Next(const CAssoc* assoc) const noexcept;
    CAssoc* NewAssoc(ARG_KEY key);
    void FreeAssoc(CAssoc* assoc) noexcept;

    CAssoc** m_pHashTable = nullptr;
    UINT m_nHashTableSize = 17;
    INT_PTR m_nCount = 0;
    Slot* m_pFreeList = nullptr;
    Slot* m_pBlocks = nullptr;  // each block's first slot links to the next block
    INT_PTR m_nBlockSize;
};

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
void CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::InitHashTable(UINT size, BOOL allocNow) {
    if (size == 0) AfxThrowInvalidArgException();
    CAssoc** table = nullptr;
    if (allocNow || m_nCount > 0) {
        table = afx_detail::AllocateRaw<CAssoc*>(size);
        for (UINT i = 0; i < size; ++i) table[i] = nullptr;
    }
    if (m_pHashTable) {
        for (UINT b = 0; b < m_nHashTableSize; ++b) {
            for (CAssoc* assoc = m_pHashTable[b]; assoc;) {
                CAssoc* next = assoc->pNext;
                CAssoc*& head = table[assoc->nHashValue % size];
                assoc->pNext = head;
                head = assoc;
                assoc = next;
            }
        }
        afx_detail::FreeRaw(m_pHashTable);
    }
    m_pHashTable = table;
    m_nHashTableSize = size;
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
typename CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::CAssoc* CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::Find(ARG_KEY key) const {
    if (!m_pHashTable) return nullptr;
    const UINT hash = HashKey<ARG_KEY>(key);
    for (CAssoc* assoc = m_pHashTable[hash % m_nHashTableSize]; assoc; assoc = assoc->pNext)
        if (assoc->nHashValue == hash && CompareElements(&assoc->key, &key)) return assoc;
    return nullptr;
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
BOOL CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::Lookup(ARG_KEY key, VALUE& value) const {
    const CAssoc* assoc = Find(key);
    if (!assoc) return FALSE;
    value = assoc->value;
    return TRUE;
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
VALUE& CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::operator[](ARG_KEY key) {
    if (CAssoc* found = Find(key)) return found->value;
    if (!m_pHashTable) InitHashTable(m_nHashTableSize);
    const UINT hash = HashKey<ARG_KEY>(key);
    CAssoc* assoc = NewAssoc(key);
    assoc->nHashValue = hash;
    CAssoc*& head = m_pHashTable[hash % m_nHashTableSize];
    assoc->pNext = head;
    head = assoc;
    return assoc->value;
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
BOOL CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::RemoveKey(ARG_KEY key) {
    if (!m_pHashTable) return FALSE;
    const UINT hash = HashKey<ARG_KEY>(key);
    for (CAssoc** link = &m_pHashTable[hash % m_nHashTableSize]; *link; link = &(*link)->pNext) {
        CAssoc* assoc = *link;
        if (assoc->nHashValue == hash && CompareElements(&assoc->key, &key)) {
            *link = assoc->pNext;
            FreeAssoc(assoc);
            return TRUE;
        }
    }
    return FALSE;
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
void CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::RemoveAll() noexcept {
    if (m_pHashTable) {
        for (UINT b = 0; b < m_nHashTableSize; ++b)
            for (CAssoc* assoc = m_pHashTable[b]; assoc;) {
                CAssoc* next = assoc->pNext;
                assoc->~CAssoc();
                assoc = next;
            }
        afx_detail::FreeRaw(m_pHashTable);
        m_pHashTable = nullptr;
    }
    m_nCount = 0;
    m_pFreeList = nullptr;
    while (m_pBlocks) {
        Slot* next = m_pBlocks->nextFree;
        afx_detail::FreeRaw(m_pBlocks);
        m_pBlocks = next;
    }
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
typename CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::CAssoc* CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::NewAssoc(ARG_KEY key) {
    if (!m_pFreeList) {
        Slot* block = afx_detail::AllocateRaw<Slot>(static_cast<size_t>(m_nBlockSize) + 1);
        block[0].nextFree = m_pBlocks;
        m_pBlocks = block;
        // Chained so the block's slots are handed out in address order.
        for (INT_PTR i = m_nBlockSize; i >= 1; --i) {
            block[i].nextFree = m_pFreeList;
            m_pFreeList = &block[i];
        }
    }
    Slot* slot = m_pFreeList;
    Slot* rest = slot->nextFree;
    CAssoc* assoc = ::new (static_cast<void*>(slot->raw)) CAssoc(key);  // on a throw the slot stays free
    m_pFreeList = rest;
    ++m_nCount;
    return assoc;
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
void CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::FreeAssoc(CAssoc* assoc) noexcept {
    assoc->~CAssoc();
    Slot* slot = reinterpret_cast<Slot*>(assoc);
    slot->nextFree = m_pFreeList;
    m_pFreeList = slot;
    if (--m_nCount == 0) RemoveAll();
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
typename CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::CAssoc* CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::First() const noexcept {
    if (m_pHashTable)
        for (UINT b = 0; b < m_nHashTableSize; ++b)
            if (m_pHashTable[b]) return m_pHashTable[b];
    return nullptr;
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
typename CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::CAssoc* CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::Next(const CAssoc* assoc) const noexcept {
    if (assoc->pNext) return assoc->pNext;
    for (UINT b = assoc->nHashValue % m_nHashTableSize + 1; b < m_nHashTableSize; ++b)
        if (m_pHashTable[b]) return m_pHashTable[b];
    return nullptr;
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
void CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>::GetNextAssoc(POSITION& position, KEY& key, VALUE& value) const {
    if (!position) AfxThrowInvalidArgException();
    const CAssoc* assoc = position == BEFORE_START_POSITION ? First() : reinterpret_cast<const CAssoc*>(position);
    if (!assoc) AfxThrowInvalidArgException();
    position = reinterpret_cast<POSITION>(Next(assoc));
    key = assoc->key;
    value = assoc->value;
}

