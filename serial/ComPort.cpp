#include "serial/ComPort.h"

TCustomComPort::TCustomComPort(Component *owner) : Component(owner)
{
    m_parity = std::make_unique<TComParity>();
    m_parity->BindToPort(this);
    m_flowControl = std::make_unique<TComFlowControl>();
    m_flowControl->BindToPort(this);
    m_timeouts = std::make_unique<TComTimeouts>();
    m_timeouts->BindToPort(this);
    m_buffer = std::make_unique<TComBuffer>();
    m_buffer->BindToPort(this);
}

TCustomComPort::~TCustomComPort()
{
    m_buffer.reset();
    m_flowControl.reset();
    m_timeouts.reset();
    m_parity.reset();
}

void TCustomComPort::setParity(const TComParity &value)
{
    m_parity->Assign(value);
    ApplyCommState();
}

void TCustomComPort::setFlowControl(const TComFlowControl &value)
{
    m_flowControl->Assign(value);
    ApplyCommState();
}

void TCustomComPort::setTimeouts(const TComTimeouts &value)
{
    m_timeouts->Assign(value);
    ApplyCommTimeouts();
}

void TCustomComPort::setBuffer(const TComBuffer &value)
{
    m_buffer->Assign(value);
    ApplyQueueSizes();
}

void TCustomComPort::ApplyCommState() {}

void TCustomComPort::ApplyCommTimeouts() {}

void TCustomComPort::ApplyQueueSizes() {}
