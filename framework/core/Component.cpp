#include "framework/core/Component.h"

#include <algorithm>

Component::Component(Component *owner)
{
    if (owner != nullptr)
        owner->insertComponent(this);
}

Component::~Component()
{
    // Each owned component is taken out of the list before it is destroyed, so its own
    // destructor does not touch the list while this loop walks it.
    while (!m_components.empty()) {
        Component *component = m_components.back();
        m_components.pop_back();
        component->m_owner = nullptr;
        delete component;
    }
    if (m_owner != nullptr)
        m_owner->removeComponent(this);
}

void Component::endLoading()
{
    m_loading = false;
    loaded();
}

void Component::loaded() {}

void Component::insertComponent(Component *component)
{
    m_components.push_back(component);
    component->m_owner = this;
}

void Component::removeComponent(Component *component)
{
    const auto it = std::find(m_components.begin(), m_components.end(), component);
    if (it != m_components.end())
        m_components.erase(it);
}
