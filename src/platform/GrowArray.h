// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

// A growable array of plain values in one block that grows through realloc.
// std::vector must hold the old and the new block at once while it copies;
// realloc lets the C library move a large block's pages instead (mremap on
// glibc), so a list of millions of rows never holds its text twice while it
// grows, and capacity not yet written takes no memory.
// Keeps every large block, ours and Qt's, in memory of its own that realloc
// can move and free can give back. By default glibc raises that threshold
// each time such a block is freed, so after clearing one long list the next
// would grow on the heap, copying as it goes. Called once at start-up.
void KeepLargeBlocksMovable();

template <class T> class GrowArray {
    static_assert(std::is_trivially_copyable_v<T>);

  public:
    GrowArray() = default;
    GrowArray(const GrowArray&) = delete;
    GrowArray& operator=(const GrowArray&) = delete;
    ~GrowArray() { std::free(data_); }

    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    bool empty() const { return size_ == 0; }
    T* data() { return data_; }
    const T* data() const { return data_; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    T* begin() { return data_; }
    T* end() { return data_ + size_; }

    void reserve(std::size_t wanted) {
        if (wanted <= capacity_)
            return;
        std::size_t grown = capacity_ + capacity_ / 2;
        if (grown < wanted)
            grown = wanted;
        if (grown < 64)
            grown = 64;
        void* moved = std::realloc(data_, grown * sizeof(T));
        if (!moved)
            throw std::bad_alloc();
        data_ = static_cast<T*>(moved);
        capacity_ = grown;
    }
    // New elements are left unwritten; the caller fills them.
    void resize(std::size_t count) {
        reserve(count);
        size_ = count;
    }
    void push_back(T value) {
        if (size_ == capacity_)
            reserve(size_ + 1);
        data_[size_++] = value;
    }
    void erase(std::size_t at, std::size_t count) {
        std::memmove(data_ + at, data_ + at + count, (size_ - at - count) * sizeof(T));
        size_ -= count;
    }
    // Gives the memory back, not just the elements.
    void release() {
        std::free(data_);
        data_ = nullptr;
        size_ = capacity_ = 0;
    }

  private:
    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};
