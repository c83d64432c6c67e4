// The two array templates every part of the expression engine is built on: a
// non-owning view (CBufferRefT) and an owning, growable array (CBufferT).
// Elements are trivially copyable (characters, ints, element pointers), so the
// owning array moves its storage with realloc.  Not thread-safe: one owner.
#pragma once

#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

template <class T> class CBufferRefT {
    static_assert(std::is_trivially_copyable_v<T>, "engine buffers hold plain values");

public:
    CBufferRefT() = default;
    CBufferRefT(const T* data, int size) : m_pBuffer(const_cast<T*>(data)), m_nSize(data ? size : 0) {}
    virtual ~CBufferRefT() = default;

    const T* GetBuffer() const { return m_pBuffer; }
    int GetSize() const { return m_nSize; }
    bool IsEmpty() const { return m_nSize <= 0; }
    const T& operator[](int i) const { return m_pBuffer[i]; }

    // Index of the first element equal to value at or after from, or -1.
    int Find(const T& value, int from = 0) const
    {
        for (int i = from < 0 ? 0 : from; i < m_nSize; ++i)
            if (m_pBuffer[i] == value)
                return i;
        return -1;
    }

    bool Equals(const CBufferRefT& other) const
    {
        return m_nSize == other.m_nSize
               && (m_nSize == 0 || std::memcmp(m_pBuffer, other.m_pBuffer, sizeof(T) * m_nSize) == 0);
    }

protected:
    T* m_pBuffer = nullptr;
    int m_nSize = 0;
};

template <class T> class CBufferT : public CBufferRefT<T> {
    using Base = CBufferRefT<T>;
    // Character buffers keep a terminating zero after their last element.
    static constexpr bool kTerminated = std::is_same_v<T, char16_t> || std::is_same_v<T, char>;

public:
    CBufferT() = default;
    CBufferT(const T* data, int size) { Append(data, size); }
    CBufferT(const CBufferT& other) : Base() { Append(other.m_pBuffer, other.m_nSize); }
    CBufferT(CBufferT&& other) noexcept : Base() { Swap(other); }
    CBufferT& operator=(const CBufferT& other)
    {
        if (this != &other) {
            m_nSize = 0;
            Append(other.m_pBuffer, other.m_nSize);
        }
        return *this;
    }
    CBufferT& operator=(CBufferT&& other) noexcept
    {
        Swap(other);
        return *this;
    }
    ~CBufferT() override { std::free(m_pBuffer); }

    T* GetData() { return m_pBuffer; }
    T& operator[](int i) { return m_pBuffer[i]; }
    const T& operator[](int i) const { return m_pBuffer[i]; }

    void Push(const T& value)
    {
        if (m_nSize + (kTerminated ? 1 : 0) >= m_nCapacity)
            Grow(m_nSize + 1);
        m_pBuffer[m_nSize++] = value;
        if constexpr (kTerminated)
            m_pBuffer[m_nSize] = T();
    }

    void Append(const T* data, int count)
    {
        if (!data || count <= 0)
            return;
        if (m_nSize + count + (kTerminated ? 1 : 0) > m_nCapacity)
            Grow(m_nSize + count);
        std::memmove(m_pBuffer + m_nSize, data, sizeof(T) * count);
        m_nSize += count;
        if constexpr (kTerminated)
            m_pBuffer[m_nSize] = T();
    }

    // Removes and returns the last element; an empty buffer pops a zero value.
    T Pop()
    {
        if (m_nSize <= 0)
            return T();
        T value = m_pBuffer[--m_nSize];
        if constexpr (kTerminated)
            m_pBuffer[m_nSize] = T();
        return value;
    }

    // Grows the size to index + 1 when it is smaller, filling every new slot with fill.
    void Prepare(int index, const T& fill)
    {
        if (index < m_nSize)
            return;
        if (index + 1 + (kTerminated ? 1 : 0) > m_nCapacity)
            Grow(index + 1);
        for (int i = m_nSize; i <= index; ++i)
            m_pBuffer[i] = fill;
        m_nSize = index + 1;
        if constexpr (kTerminated)
            m_pBuffer[m_nSize] = T();
    }

    // Cuts the buffer back to size elements (never grows it).
    void Restore(int size)
    {
        if (size < 0)
            size = 0;
        if (size < m_nSize) {
            m_nSize = size;
            if constexpr (kTerminated)
                m_pBuffer[m_nSize] = T();
        }
    }

    void Clear() { Restore(0); }

    void Swap(CBufferT& other) noexcept
    {
        std::swap(m_pBuffer, other.m_pBuffer);
        std::swap(m_nSize, other.m_nSize);
        std::swap(m_nCapacity, other.m_nCapacity);
    }

private:
    using Base::m_nSize;
    using Base::m_pBuffer;

    void Grow(int needed)
    {
        int capacity = m_nCapacity < 8 ? 8 : m_nCapacity;
        while (capacity < needed + (kTerminated ? 1 : 0))
            capacity *= 2;
        void* grown = std::realloc(m_pBuffer, sizeof(T) * static_cast<size_t>(capacity));
        if (!grown)
            throw std::bad_alloc();
        m_pBuffer = static_cast<T*>(grown);
        m_nCapacity = capacity;
    }

    int m_nCapacity = 0;
};
