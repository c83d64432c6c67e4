// The two array templates every part of the expression engine is built on: a
// non-owning view (CBufferRefT) and an owning, growable array (CBufferT).
// Elements are trivially copyable (characters, ints, element pointers), so the
// owning array moves its storage with realloc.  Not thread-safe: one owner.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

template <class T> class CBufferRefT {
    static_assert(std::is_trivially_copyable_v<T>, "engine buffers hold plain values");

public:
    CBufferRefT() = default;
    CBufferRefT(const T* data, int size) : m_data(const_cast<T*>(data)), m_size(data ? size : 0) {}
    virtual ~CBufferRefT() = default;

    const T* GetBuffer() const { return m_data; }
    int GetSize() const { return m_size; }
    bool IsEmpty() const { return m_size <= 0; }
    const T& operator[](int i) const { return m_data[i]; }

    // Index of the first element equal to value at or after from, or -1.
    int Find(const T& value, int from = 0) const
    {
        for (int i = from < 0 ? 0 : from; i < m_size; ++i)
            if (m_data[i] == value)
                return i;
        return -1;
    }

    bool Equals(const CBufferRefT& other) const
    {
        return m_size == other.m_size
               && (m_size == 0 || std::memcmp(m_data, other.m_data, sizeof(T) * static_cast<std::size_t>(m_size)) == 0);
    }

protected:
    T* m_data = nullptr;
    int m_size = 0;
};

template <class T> class CBufferT : public CBufferRefT<T> {
    using Base = CBufferRefT<T>;
    // Character buffers keep a terminating zero after their last element.
    static constexpr bool kTerminated = std::is_same_v<T, char16_t> || std::is_same_v<T, char>;

public:
    CBufferT() = default;
    CBufferT(const T* data, int size) { Append(data, size); }
    CBufferT(const CBufferT& other) : Base() { Append(other.m_data, other.m_size); }
    CBufferT(CBufferT&& other) noexcept : Base() { Swap(other); }
    CBufferT& operator=(const CBufferT& other)
    {
        if (this != &other) {
            m_size = 0;
            Append(other.m_data, other.m_size);
        }
        return *this;
    }
    CBufferT& operator=(CBufferT&& other) noexcept
    {
        Swap(other);
        return *this;
    }
    ~CBufferT() override { std::free(m_data); }

    T* GetData() { return m_data; }
    T& operator[](int i) { return m_data[i]; }
    const T& operator[](int i) const { return m_data[i]; }

    void Push(const T& value)
    {
        if (m_size + (kTerminated ? 1 : 0) >= m_capacity)
            Grow(m_size + 1);
        m_data[m_size++] = value;
        if constexpr (kTerminated)
            m_data[m_size] = T();
    }

    void Append(const T* data, int count)
    {
        if (!data || count <= 0)
            return;
        if (m_size + count + (kTerminated ? 1 : 0) > m_capacity)
            Grow(m_size + count);
        std::memmove(m_data + m_size, data, sizeof(T) * static_cast<std::size_t>(count));
        m_size += count;
        if constexpr (kTerminated)
            m_data[m_size] = T();
    }

    // Removes and returns the last element; an empty buffer pops a zero value.
    T Pop()
    {
        if (m_size <= 0)
            return T();
        T value = m_data[--m_size];
        if constexpr (kTerminated)
            m_data[m_size] = T();
        return value;
    }

    // Grows the size to index + 1 when it is smaller, filling every new slot with fill.
    void Prepare(int index, const T& fill)
    {
        if (index < m_size)
            return;
        if (index + 1 + (kTerminated ? 1 : 0) > m_capacity)
            Grow(index + 1);
        for (int i = m_size; i <= index; ++i)
            m_data[i] = fill;
        m_size = index + 1;
        if constexpr (kTerminated)
            m_data[m_size] = T();
    }

    // Cuts the buffer back to size elements (never grows it).
    void Restore(int size)
    {
        if (size < 0)
            size = 0;
        if (size < m_size) {
            m_size = size;
            if constexpr (kTerminated)
                m_data[m_size] = T();
        }
    }

    void Clear() { Restore(0); }

    void Swap(CBufferT& other) noexcept
    {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_capacity, other.m_capacity);
    }

private:
    using Base::m_data;
    using Base::m_size;

    void Grow(int needed)
    {
        int capacity = m_capacity < 8 ? 8 : m_capacity;
        while (capacity < needed + (kTerminated ? 1 : 0))
            capacity *= 2;
        void* grown = std::realloc(m_data, sizeof(T) * static_cast<std::size_t>(capacity));
        if (!grown)
            throw std::bad_alloc();
        m_data = static_cast<T*>(grown);
        m_capacity = capacity;
    }

    int m_capacity = 0;
};
