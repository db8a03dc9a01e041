#pragma once
// The caller's cancel flag: an `int` that another thread sets to non-zero
// while a call is running. It is read atomically (the caller writes a plain
// int, so the read goes through std::atomic_ref), never cached.
// Thread-safe.

#include <atomic>

namespace linkio {

inline bool IsCancelled(const int* flag) {
    if (flag == nullptr) return false;
    // atomic_ref needs a non-const object; the flag is only read here.
    return std::atomic_ref<int>(*const_cast<int*>(flag)).load(std::memory_order_acquire) != 0;
}

}  // namespace linkio
