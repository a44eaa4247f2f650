#include "framework/core/ReceiveCapture.h"

#include "framework/core/AnsiText.h"

void ReceiveCapture::start(std::string name, Form form, CaptureWriter::Open open,
                           std::function<void()> onStopped)
{
    m_writer.reset();
    m_form = form;
    m_name = name;
    m_writer =
        std::make_unique<CaptureWriter>(std::move(name), std::move(open), std::move(onStopped));
}

void ReceiveCapture::received(std::string_view bytes)
{
    if (m_form == Form::Received && running())
        m_writer->write(bytes);
}

void ReceiveCapture::shown(std::string_view text)
{
    if (m_form == Form::Text && running())
        m_writer->write(ansiToUtf8(text));
}
