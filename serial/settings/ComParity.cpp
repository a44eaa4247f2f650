#include "serial/settings/ComParity.h"

#include "serial/ComPort.h"
#include "serial/settings/StoreIfChanged.h"

void TComParity::setBits(TParityBits value)
{
    if (storeIfChanged(m_bits, value))
        changed();
}

void TComParity::setCheck(bool value)
{
    if (storeIfChanged(m_check, value))
        changed();
}

void TComParity::setReplace(bool value)
{
    if (storeIfChanged(m_replace, value))
        changed();
}

void TComParity::setReplaceChar(char value)
{
    if (storeIfChanged(m_replaceChar, value))
        changed();
}

void TComParity::AssignTo(TPersistent &dest) const
{
    auto *parity = dynamic_cast<TComParity *>(&dest);
    if (parity == nullptr) {
        TPersistent::AssignTo(dest);
        return;
    }
    parity->m_bits = m_bits;
    parity->m_check = m_check;
    parity->m_replace = m_replace;
    parity->m_replaceChar = m_replaceChar;
}

void TComParity::changed()
{
    if (m_ownerPort != nullptr)
        m_ownerPort->ApplyCommState();
}
