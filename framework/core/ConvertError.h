// The failure of a text-to-value conversion, such as "'12a' is not a valid integer value".
#pragma once

#include "framework/core/Exception.h"

class EConvertError : public Exception
{
public:
    using Exception::Exception;
};
