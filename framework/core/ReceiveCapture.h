// The receive box's capture: from its start, either the bytes as they are read or the text as
// it is handed to the box (written as UTF-8, as a save writes the text) go to a file through a
// CaptureWriter, until it is stopped or fails. Toolkit-free; UI thread only.
#pragma once

#include "framework/core/CaptureWriter.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

class ReceiveCapture
{
public:
    enum class Form { Text, Received };

    // Ends a running capture first. onStopped runs when a failure ended it.
    void start(std::string name, Form form, CaptureWriter::Open open,
               std::function<void()> onStopped);
    // Writes what is queued and closes the file.
    void stop() { m_writer.reset(); }
    bool running() const { return m_writer && !m_writer->failed(); }
    // The file as the user named it, while a capture runs.
    std::string name() const { return running() ? m_name : std::string(); }

    // Bytes as read from the port, before their text reaches the box.
    void received(std::string_view bytes);
    // Windows-1252 text as it is appended to the box.
    void shown(std::string_view text);

private:
    std::unique_ptr<CaptureWriter> m_writer;
    Form m_form = Form::Text;
    std::string m_name;
};
