#pragma once
// A growable array whose element policy decides what destruction does to each element.
// Elements are moved by plain copying, so they must be trivially copyable (pointers, numbers).
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

// Elements are owned pointers: deleted with the vector, null elements skipped.
struct SOwnedPtr {
    template <typename T>
    static void Destroy(T element) { delete element; }
};

// Elements are plain values that need no clean-up.
struct SValue {
    template <typename T>
    static void Destroy(const T&) {}
};

template <typename T, typename SPolicy, typename A = T>
class CVector {
    static_assert(std::is_trivially_copyable_v<T>, "CVector moves its elements by copying bytes");

public:
    CVector() = default;
    CVector(const CVector&) = delete;
    CVector& operator=(const CVector&) = delete;

    virtual ~CVector()
    {
        for (int32_t i = 0; i < count; ++i)
            if (items[i]) SPolicy::Destroy(items[i]);
        count = 0;
        ::operator delete(items);
    }

    void Add(A element)
    {
        const int32_t needed = count + 1;
        if (needed > capacity) {
            const int32_t grown = 2 * needed < 16 ? 16 : 2 * needed;
            T* larger = static_cast<T*>(::operator new(sizeof(T) * static_cast<size_t>(grown)));
            if (count > 0) std::memcpy(static_cast<void*>(larger), items, sizeof(T) * static_cast<size_t>(count));
            ::operator delete(items);
            items = larger;
            capacity = grown;
        }
        items[count] = element;
        ++count;
    }

    int32_t GetCount() const { return count; }
    int32_t GetCapacity() const { return capacity; }
    T operator[](int32_t index) const { return items[index]; }

private:
    int32_t count = 0;
    int32_t capacity = 0;
    T* items = nullptr;
};
