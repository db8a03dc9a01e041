#pragma once
// Process-wide objects of the library that must outlive every caller: built
// on first use in static storage and never destroyed, so they are still there
// when a static destructor or the library's own destructor runs at exit. Being
// outside the heap, they are not leaked when the library is unloaded.
// Thread-safe (the first use is a function-local static).

#include <new>

namespace lan {

template <typename T>
T& Immortal() {
    alignas(T) static unsigned char storage[sizeof(T)];
    static T* const object = new (storage) T();
    return *object;
}

}  // namespace lan
