// Memory owners of the compressor. The compressor is a library that reports failures as
// return codes, so every allocation is a nothrow one whose failure the caller sees.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace qarn {

// A fixed-size array owned by one object; empty until allocate() succeeds.
template <typename T>
class HeapArray {
public:
    HeapArray() = default;
    HeapArray(const HeapArray&) = delete;
    HeapArray& operator=(const HeapArray&) = delete;
    ~HeapArray() { delete[] data_; }

    // Zero-filled; false when the memory cannot be had (the old contents are gone either way).
    bool allocate(size_t count) {
        delete[] data_;
        data_ = new (std::nothrow) T[count]();
        size_ = data_ != nullptr ? count : 0;
        return data_ != nullptr;
    }
    T* get() { return data_; }
    const T* get() const { return data_; }
    T& operator[](size_t i) { return data_[i]; }
    const T& operator[](size_t i) const { return data_[i]; }
    size_t size() const { return size_; }

private:
    T* data_ = nullptr;
    size_t size_ = 0;
};

// A byte buffer that grows on demand; append() reports a failed growth instead of throwing.
class GrowBuffer {
public:
    GrowBuffer() = default;
    GrowBuffer(const GrowBuffer&) = delete;
    GrowBuffer& operator=(const GrowBuffer&) = delete;
    ~GrowBuffer() { std::free(data_); }

    bool reserve(size_t capacity) {
        if (capacity <= capacity_) return true;
        size_t grown = capacity_ < 4096 ? 4096 : capacity_;
        while (grown < capacity) grown *= 2;
        void* p = std::realloc(data_, grown);
        if (p == nullptr) return false;
        data_ = static_cast<uint8_t*>(p);
        capacity_ = grown;
        return true;
    }
    bool append(const uint8_t* src, size_t n) {
        if (!reserve(size_ + n)) return false;
        if (n > 0) std::memcpy(data_ + size_, src, n);
        size_ += n;
        return true;
    }
    void clear() { size_ = 0; }
    uint8_t* data() { return data_; }
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    size_t capacity() const { return capacity_; }

private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

}  // namespace qarn
