// Base of the objects that can copy their values into one another (the port's settings
// objects). The destination's Assign asks the source's AssignTo to do the copy; a pair of
// classes that does not know each other fails with "Cannot assign a %s to a %s".
// Used on the thread that owns the objects; no locking.
#pragma once

#include <string>

class TPersistent
{
public:
    TPersistent() = default;
    virtual ~TPersistent();

    TPersistent(const TPersistent &) = delete;
    TPersistent &operator=(const TPersistent &) = delete;

    // Copies the values of source into this object by calling source.AssignTo(*this).
    // A class that overrides this must say `using TPersistent::Assign;` to keep the
    // pointer form visible.
    virtual void Assign(const TPersistent &source);
    // The same for a source that may be absent: an empty source fails with
    // "Cannot assign a nil to a <this class>".
    void Assign(const TPersistent *source);

    // Copies this object's values into dest. The base knows no destination and fails with
    // "Cannot assign a <this class> to a <dest class>"; dest is left unchanged.
    virtual void AssignTo(TPersistent &dest) const;

    // The type's name as the messages show it, e.g. "TComTimeouts".
    virtual std::string className() const;

protected:
    // Raises the assignment failure for source (empty: "nil") into this object.
    [[noreturn]] void assignError(const TPersistent *source) const;
};
