#include "protocol/CommandSet.h"

std::string commandFrame(ModuleCommand command, std::uint8_t value)
{
    return buildCommandFrame(command.operation, command.code, value);
}
