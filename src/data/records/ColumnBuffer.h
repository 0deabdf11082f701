#pragma once

#include <QtGlobal>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

// A growing array of plain values for the cells of one column. It grows with realloc rather than
// as a std::vector does: the C library moves a large block by remapping its pages, so growth
// copies nothing and never holds the old and the new array at once, which would otherwise set
// the peak memory of a large open.
template <typename T>
class ColumnBuffer {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    ColumnBuffer() = default;
    ~ColumnBuffer() { std::free(data_); }
    ColumnBuffer(ColumnBuffer&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
          capacity_(std::exchange(other.capacity_, 0))
    {
    }
    ColumnBuffer& operator=(ColumnBuffer&& other) noexcept
    {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
        return *this;
    }
    // A copy holds the values alone, without the room growth reserved: history keeps many.
    ColumnBuffer(const ColumnBuffer& other)
    {
        if (other.size_ != 0) {
            reallocate(other.size_);
            std::memcpy(data_, other.data_, other.size_ * sizeof(T));
            size_ = other.size_;
        }
    }
    ColumnBuffer& operator=(const ColumnBuffer& other)
    {
        if (this != &other) {
            ColumnBuffer copy(other);
            *this = std::move(copy);
        }
        return *this;
    }

    const T* data() const { return data_; }
    T* data() { return data_; }
    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    bool empty() const { return size_ == 0; }
    const T& operator[](std::size_t index) const { return data_[index]; }
    T& back() { return data_[size_ - 1]; }
    const T& back() const { return data_[size_ - 1]; }

    void push_back(T value)
    {
        if (size_ == capacity_)
            reallocate(grownCapacity(size_ + 1));
        data_[size_++] = value;
    }

    void append(const T* values, std::size_t count)
    {
        if (count > capacity_ - size_)
            reallocate(grownCapacity(size_ + count));
        if (count != 0)
            std::memcpy(data_ + size_, values, count * sizeof(T));
        size_ += count;
    }

    // New values are left unset for the caller to write.
    void resize(std::size_t size)
    {
        if (size > capacity_)
            reallocate(grownCapacity(size));
        size_ = size;
    }

    // Room for size values, so that a known number of appends copies nothing as it grows.
    void reserve(std::size_t size)
    {
        if (size > capacity_)
            reallocate(size);
    }

    // Gives back what growth reserved ahead, once no more values come.
    void shrinkToFit()
    {
        if (capacity_ != size_)
            reallocate(size_);
    }

private:
    std::size_t grownCapacity(std::size_t needed) const
    {
        return qMax(needed, qMax<std::size_t>(capacity_ + capacity_ / 2, 64));
    }

    void reallocate(std::size_t capacity)
    {
        if (capacity == 0) {
            std::free(data_);
            data_ = nullptr;
            capacity_ = 0;
            return;
        }
        void* moved = std::realloc(data_, capacity * sizeof(T));
        if (!moved)
            throw std::bad_alloc();
        data_ = static_cast<T*>(moved);
        capacity_ = capacity;
    }

    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};
