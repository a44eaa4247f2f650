#include "platform/posix/HandleTable.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace {

struct Table
{
    std::mutex mutex;
    std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> objects;
    std::uintptr_t next = 0x1000;
};

// Never destroyed: I/O threads of ports still open at exit may look handles up.
Table &table()
{
    static Table *instance = new Table;
    return *instance;
}

} // namespace

namespace HandleTable {

HANDLE insert(std::shared_ptr<KernelObject> object)
{
    Table &t = table();
    std::lock_guard lock(t.mutex);
    const std::uintptr_t value = t.next;
    t.next += 4;
    t.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> find(HANDLE handle)
{
    Table &t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == t.objects.end() ? nullptr : it->second;
}

std::shared_ptr<KernelObject> remove(HANDLE handle)
{
    Table &t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == t.objects.end())
        return nullptr;
    std::shared_ptr<KernelObject> object = std::move(it->second);
    t.objects.erase(it);
    return object;
}

} // namespace HandleTable
