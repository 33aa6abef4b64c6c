#pragma once

#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>

// The memory of a query's rows: values of a plain type, one after the other,
// growing as rows are read. A large block lives in pages of its own that grow
// where they are (the system moves the pages instead of copying the values),
// so that reading a long list copies nothing and touches each page once; a
// small one lives on the heap. Growing keeps the values; clear() keeps the
// memory for the next reading, release() gives it back.
template <typename T> class TRowMemory
{
    static_assert(std::is_trivially_copyable_v<T>, "the values are moved as bytes");

public:
    TRowMemory() = default;
    ~TRowMemory() { release(); }
    TRowMemory(const TRowMemory &) = delete;
    TRowMemory &operator=(const TRowMemory &) = delete;

    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    T *data() { return m_data; }
    const T *data() const { return m_data; }
    T &operator[](size_t i) { return m_data[i]; }
    const T &operator[](size_t i) const { return m_data[i]; }

    void push_back(const T &value)
    {
        if (m_size == m_capacity)
            Grow(m_size + 1);
        m_data[m_size++] = value;
    }
    void append(const T *values, size_t count)
    {
        if (m_size + count > m_capacity)
            Grow(m_size + count);
        if (count)
            std::memcpy(m_data + m_size, values, count * sizeof(T));
        m_size += count;
    }
    // New values are value-initialized.
    void resize(size_t size)
    {
        if (size > m_capacity)
            Grow(size);
        for (size_t i = m_size; i < size; ++i)
            new (m_data + i) T();
        m_size = size;
    }
    void clear() { m_size = 0; }
    void release();

private:
    void Grow(size_t needed);

    T *m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
    bool m_mapped = false; // pages of its own, not the heap
};

namespace RowMemory {
// The block of pages of its own: bytes long, holding the first kept bytes of
// old (oldBytes long, mapped or on the heap); old is given back. Throws
// std::bad_alloc when there is no memory.
void *Grow(void *old, size_t oldBytes, bool oldMapped, size_t kept, size_t bytes, bool &mapped);
void Release(void *block, size_t bytes, bool mapped);
} // namespace RowMemory

template <typename T> void TRowMemory<T>::Grow(size_t needed)
{
    size_t capacity = m_capacity ? m_capacity * 2 : 64;
    while (capacity < needed)
        capacity *= 2;
    bool mapped = m_mapped;
    m_data = static_cast<T *>(
        RowMemory::Grow(m_data, m_capacity * sizeof(T), m_mapped, m_size * sizeof(T), capacity * sizeof(T), mapped));
    m_mapped = mapped;
    m_capacity = capacity;
}

template <typename T> void TRowMemory<T>::release()
{
    RowMemory::Release(m_data, m_capacity * sizeof(T), m_mapped);
    m_data = nullptr;
    m_size = 0;
    m_capacity = 0;
    m_mapped = false;
}
