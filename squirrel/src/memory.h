// The single allocation path of the VM. Every VM allocation goes through the hook installed with
// sq_setallocator; a failed allocation throws SQOutOfMemory, which the interpreter turns into the script
// error "out of memory" at the nearest boundary. Nothing outside the library ever sees the exception.
#ifndef SQUIRREL_SRC_MEMORY_H
#define SQUIRREL_SRC_MEMORY_H

#include "squirrel/squirrel.h"

#include <cstddef>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

struct SQOutOfMemory {};

// Allocates or throws SQOutOfMemory.
void* sqAlloc(size_t size);
// The same for an array of records of 32 bytes (a table's nodes): past the small sizes the block starts on
// a cache line, so no record straddles two whatever the heap's layout (malloc only promises 16 bytes).
// Freed with sqFree.
void* sqAllocLines(size_t size);
// Reallocates or throws SQOutOfMemory (p is left intact then).
void* sqRealloc(void* p, size_t oldsize, size_t newsize);
void sqFree(void* p, size_t size);

// Test seam: make allocation number `n` (counted from now, 1-based) fail once; 0 disables. Returns the number
// of allocations made since the last call.
unsigned long sqAllocFailAt(unsigned long n);

// Base for VM objects allocated with `new`: routes them through the hook.
struct SQAllocated {
    static void* operator new(size_t size) { return sqAlloc(size); }
    static void* operator new(size_t, void* where) { return where; }
    static void operator delete(void* p, size_t size) { sqFree(p, size); }
    static void operator delete(void*, void*) {}
};

// A growable array on the VM allocator. Elements are moved with their move constructors; T must be
// nothrow-movable.
template <typename T> class SQVector {
public:
    SQVector() = default;
    SQVector(const SQVector&) = delete;
    SQVector& operator=(const SQVector&) = delete;
    ~SQVector() {
        resize(0);
        if (m_data) sqFree(m_data, m_cap * sizeof(T));
    }
    size_t size() const { return m_size; }
    size_t capacity() const { return m_cap; }
    bool empty() const { return m_size == 0; }
    T* data() { return m_data; }
    const T* data() const { return m_data; }
    T& operator[](size_t i) { return m_data[i]; }
    const T& operator[](size_t i) const { return m_data[i]; }
    T& back() { return m_data[m_size - 1]; }
    T* begin() { return m_data; }
    T* end() { return m_data + m_size; }
    const T* begin() const { return m_data; }
    const T* end() const { return m_data + m_size; }
    void reserve(size_t n) {
        if (n <= m_cap) return;
        T* nd = static_cast<T*>(sqAlloc(n * sizeof(T)));
        for (size_t i = 0; i < m_size; ++i) {
            new (&nd[i]) T(std::move(m_data[i]));
            m_data[i].~T();
        }
        if (m_data) sqFree(m_data, m_cap * sizeof(T));
        m_data = nd;
        m_cap = n;
    }
    void push_back(const T& v) {
        if (m_size == m_cap) {
            T copy(v); // v may live inside this vector
            reserve(m_cap ? m_cap * 2 : 4);
            new (&m_data[m_size]) T(std::move(copy));
        } else {
            new (&m_data[m_size]) T(v);
        }
        ++m_size;
    }
    // Appends a default-constructed element and returns it.
    T& emplace_back() {
        if (m_size == m_cap) reserve(m_cap ? m_cap * 2 : 4);
        new (&m_data[m_size]) T();
        return m_data[m_size++];
    }
    void pop_back() { m_data[--m_size].~T(); }
    // Counts in elements the caller constructed in place below the capacity (a hot path that must not pay
    // for default construction).
    void setSizeWithin(size_t n) { m_size = n; }
    void resize(size_t n, const T& fill = T()) {
        if (n > m_size) {
            if (n > m_cap) reserve(n > m_cap * 2 ? n : m_cap * 2);
            for (size_t i = m_size; i < n; ++i) new (&m_data[i]) T(fill);
        } else {
            for (size_t i = n; i < m_size; ++i) m_data[i].~T();
        }
        m_size = n;
    }
    void insert(size_t at, const T& v) {
        push_back(v);
        for (size_t i = m_size - 1; i > at; --i) std::swap(m_data[i], m_data[i - 1]);
    }
    void erase(size_t at) {
        for (size_t i = at; i + 1 < m_size; ++i) std::swap(m_data[i], m_data[i + 1]);
        pop_back();
    }
    // Gives back unused capacity (after a shrink).
    void shrinkToFit() {
        if (m_cap == m_size) return;
        if (m_size == 0) {
            sqFree(m_data, m_cap * sizeof(T));
            m_data = nullptr;
            m_cap = 0;
            return;
        }
        T* nd = static_cast<T*>(sqAlloc(m_size * sizeof(T)));
        for (size_t i = 0; i < m_size; ++i) {
            new (&nd[i]) T(std::move(m_data[i]));
            m_data[i].~T();
        }
        sqFree(m_data, m_cap * sizeof(T));
        m_data = nd;
        m_cap = m_size;
    }

private:
    T* m_data = nullptr;
    size_t m_size = 0;
    size_t m_cap = 0;
};

// std containers on the VM allocator (the compiler's working state, token text).
template <typename T> struct SQStdAllocator {
    using value_type = T;
    SQStdAllocator() = default;
    template <typename U> SQStdAllocator(const SQStdAllocator<U>&) {}
    T* allocate(size_t n) { return static_cast<T*>(sqAlloc(n * sizeof(T))); }
    void deallocate(T* p, size_t n) { sqFree(p, n * sizeof(T)); }
    template <typename U> bool operator==(const SQStdAllocator<U>&) const { return true; }
};
template <typename T> using SQStdVector = std::vector<T, SQStdAllocator<T>>;
using SQStdString = std::basic_string<char, std::char_traits<char>, SQStdAllocator<char>>;

#endif
