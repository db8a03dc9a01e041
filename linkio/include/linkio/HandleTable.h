#pragma once
// The handles a link library hands out: each handle is the address of an
// object the table owns. A handle is valid exactly while it is in the table;
// shared ownership lets a call in progress finish when another thread closes
// the handle. Thread-safe (one mutex per table).
//
// A library keeps its table for the whole process (create it with `new` and
// never delete it), so a handle closed from a static destructor still finds it.

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace linkio {

template <typename T>
class HandleTable {
public:
    // Enters `object`; returns its handle (null for a null object).
    void* Add(std::shared_ptr<T> object) {
        if (!object) return nullptr;
        void* handle = object.get();
        std::lock_guard<std::mutex> guard(m_lock);
        m_items.emplace(handle, std::move(object));
        return handle;
    }
    // The object of a live handle, or null.
    std::shared_ptr<T> Find(const void* handle) const {
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = m_items.find(handle);
        return it == m_items.end() ? nullptr : it->second;
    }
    // Takes a handle out of the table; returns its object, or null when the
    // handle was not live (closed twice, never opened).
    std::shared_ptr<T> Remove(const void* handle) {
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = m_items.find(handle);
        if (it == m_items.end()) return nullptr;
        auto object = std::move(it->second);
        m_items.erase(it);
        return object;
    }
    // Empties the table and returns every object that was in it.
    std::vector<std::shared_ptr<T>> RemoveAll() {
        std::lock_guard<std::mutex> guard(m_lock);
        std::vector<std::shared_ptr<T>> all;
        all.reserve(m_items.size());
        for (auto& [handle, object] : m_items) all.push_back(std::move(object));
        m_items.clear();
        return all;
    }
    std::size_t Size() const {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_items.size();
    }

private:
    mutable std::mutex m_lock;
    std::map<const void*, std::shared_ptr<T>> m_items;
};

}  // namespace linkio
