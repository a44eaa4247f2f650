// The driver suite runs inside the rig's guest only: it needs the guest's real ports and the
// far ends on the host (scripts/drivers). With ZEPHRA_DRIVER_HELPER set it plays another
// process that opens COM1: "open-and-exit" exits with the port open, "open-and-wait" keeps
// it open until killed.
#include "tests/drivers/suite/FarEnd.h"

#include "platform/win32.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (const char *role = std::getenv("ZEPHRA_DRIVER_HELPER")) {
        HANDLE port = CreateFileA(FarEnd::kUart, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (port == INVALID_HANDLE_VALUE)
            return 2;
        if (std::strcmp(role, "open-and-wait") == 0)
            for (;;)
                pause();
        std::exit(0);
    }
    ::testing::InitGoogleTest(&argc, argv);
    FarEnd::publishPorts();
    return RUN_ALL_TESTS();
}
