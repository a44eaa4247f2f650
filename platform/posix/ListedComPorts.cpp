#include "platform/ComNames.h"

// Every COM name here is the program's own (ComNames.h): no system lists ports by them.
std::vector<int> listedComPorts()
{
    return {};
}
