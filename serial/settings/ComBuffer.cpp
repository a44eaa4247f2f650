#include "serial/settings/ComBuffer.h"

#include "serial/ComPort.h"

void TComBuffer::setInputSize(std::int32_t value)
{
    setSize(m_inputSize, value);
}

void TComBuffer::setOutputSize(std::int32_t value)
{
    setSize(m_outputSize, value);
}

void TComBuffer::AssignTo(TPersistent &dest) const
{
    auto *buffer = dynamic_cast<TComBuffer *>(&dest);
    if (buffer == nullptr) {
        TPersistent::AssignTo(dest);
        return;
    }
    buffer->m_inputSize = m_inputSize;
    buffer->m_outputSize = m_outputSize;
}

void TComBuffer::setSize(std::int32_t &size, std::int32_t value)
{
    if (value == size)
        return;
    size = value;
    if (size > 0 && size % 2 == 1)
        --size;
    // Re-applied even when the rounding gave back the old size: the write itself counts.
    if (m_ownerPort != nullptr)
        m_ownerPort->ApplyQueueSizes();
}
