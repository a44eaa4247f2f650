#include "framework/core/Persistent.h"

#include "framework/core/Exception.h"
#include "framework/core/Format.h"

TPersistent::~TPersistent() = default;

void TPersistent::Assign(const TPersistent &source)
{
    source.AssignTo(*this);
}

void TPersistent::Assign(const TPersistent *source)
{
    if (source == nullptr)
        assignError(nullptr);
    Assign(*source);
}

void TPersistent::AssignTo(TPersistent &dest) const
{
    dest.assignError(this);
}

std::string TPersistent::className() const
{
    return "TPersistent";
}

void TPersistent::assignError(const TPersistent *source) const
{
    const std::string sourceName = source != nullptr ? source->className() : std::string("nil");
    throw Exception(
        formatText("Cannot assign a %s to a %s", sourceName.c_str(), className().c_str()));
}
