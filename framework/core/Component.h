// Base of the non-visual components a window owns (the serial port component among them):
// an owner that frees the components it owns when it is destroyed, a Name, and the loading
// state that is set while a component's stored properties are being read. endLoading()
// clears that state and then runs the component's end-of-loading step, loaded().
// Created, used and destroyed on the user-interface thread.
#pragma once

#include <string>
#include <vector>

class Component
{
public:
    // Registers the new component with owner (may be null); the owner destroys it with
    // delete, so an owned component must have been created with new.
    explicit Component(Component *owner = nullptr);
    // Destroys every owned component (the last one added first), then leaves the owner.
    virtual ~Component();

    Component(const Component &) = delete;
    Component &operator=(const Component &) = delete;

    Component *owner() const { return m_owner; }
    const std::vector<Component *> &components() const { return m_components; }

    const std::string &Name() const { return m_name; }
    void setName(const std::string &name) { m_name = name; }

    // Loading: while set, property setters only store values.
    void beginLoading() { m_loading = true; }
    bool isLoading() const { return m_loading; }
    void endLoading();

protected:
    // End-of-loading step, run by endLoading() after the loading state is cleared.
    virtual void loaded();

private:
    void insertComponent(Component *component);
    void removeComponent(Component *component);

    Component *m_owner = nullptr;
    std::vector<Component *> m_components;
    std::string m_name;
    bool m_loading = false;
};
