// The process-wide table behind HANDLE values: every kernel object (event, comm port) is
// registered here and found again by its handle. Handle values are multiples of 4 that are
// never reused, so a stale handle fails cleanly with 6 instead of reaching a newer object.
// Thread-safe; lookups hand out shared ownership, so an object outlives a concurrent
// CloseHandle until the calls already using it have returned.
#pragma once

#include "platform/win32types.h"

#include <memory>

class KernelObject
{
public:
    enum class Kind { Event, Comm, Other };

    virtual ~KernelObject() = default;
    virtual Kind kind() const = 0;
    // Called once by CloseHandle after the handle left the table.
    virtual void onClose() {}
};

namespace HandleTable {

HANDLE insert(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> find(HANDLE handle);
// Removes the handle and returns its object (empty when the handle was unknown).
std::shared_ptr<KernelObject> remove(HANDLE handle);

// The object of a handle when it has the given kind, else empty.
template<class T> std::shared_ptr<T> findAs(HANDLE handle, KernelObject::Kind kind)
{
    std::shared_ptr<KernelObject> object = find(handle);
    if (!object || object->kind() != kind)
        return nullptr;
    return std::static_pointer_cast<T>(object);
}

} // namespace HandleTable
