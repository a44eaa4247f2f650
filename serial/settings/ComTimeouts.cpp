#include "serial/settings/ComTimeouts.h"

#include "serial/ComPort.h"
#include "serial/settings/StoreIfChanged.h"

void TComTimeouts::setReadInterval(std::int32_t value)
{
    if (storeIfChanged(m_readInterval, value))
        changed();
}

void TComTimeouts::setReadTotalMultiplier(std::int32_t value)
{
    if (storeIfChanged(m_readTotalMultiplier, value))
        changed();
}

void TComTimeouts::setReadTotalConstant(std::int32_t value)
{
    if (storeIfChanged(m_readTotalConstant, value))
        changed();
}

void TComTimeouts::setWriteTotalMultiplier(std::int32_t value)
{
    if (storeIfChanged(m_writeTotalMultiplier, value))
        changed();
}

void TComTimeouts::setWriteTotalConstant(std::int32_t value)
{
    if (storeIfChanged(m_writeTotalConstant, value))
        changed();
}

void TComTimeouts::AssignTo(TPersistent &dest) const
{
    auto *timeouts = dynamic_cast<TComTimeouts *>(&dest);
    if (timeouts == nullptr) {
        TPersistent::AssignTo(dest);
        return;
    }
    timeouts->m_readInterval = m_readInterval;
    timeouts->m_readTotalMultiplier = m_readTotalMultiplier;
    timeouts->m_readTotalConstant = m_readTotalConstant;
    timeouts->m_writeTotalMultiplier = m_writeTotalMultiplier;
    timeouts->m_writeTotalConstant = m_writeTotalConstant;
}

void TComTimeouts::changed()
{
    if (m_ownerPort != nullptr)
        m_ownerPort->ApplyCommTimeouts();
}
