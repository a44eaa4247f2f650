// A stored picture that cannot be read or decoded.
#pragma once

#include "framework/core/Exception.h"

class EPictureError : public Exception
{
public:
    using Exception::Exception;
};
