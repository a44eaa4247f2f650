// JPEG decoding on libjpeg, for the pictures stored with the window. Any fault in the data
// (not a JPEG, truncated, corrupt, a colour model without an RGB conversion, absurd size)
// raises EPictureError; libjpeg's own error path never ends the process. Pure function,
// callable from any thread.
#pragma once

#include "framework/core/Exception.h"

#include <QByteArray>
#include <QImage>

class EPictureError : public Exception
{
public:
    using Exception::Exception;
};

// Returns a 24-bit RGB image (QImage::Format_RGB888).
QImage decodeJpeg(const QByteArray &data);
