// The driver suite runs inside the rig's guest only: it needs the guest's real ports and the
// far ends on the host (scripts/drivers). With ZEPHRA_DRIVER_HELPER set it plays another
// process that opens COM1: "open-and-exit" exits with the port open, "open-and-wait" keeps
// it open until killed. Exits with one of tests/drivers/ExitCodes.h.
#include "tests/drivers/ExitCodes.h"
#include "tests/drivers/suite/FarEnd.h"

#include "platform/win32.h"

#include <gtest/gtest.h>

#include <cstdio>
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
    const int rc = RUN_ALL_TESTS();
    // A filter that selects nothing must not pass as a clean run.
    if (::testing::UnitTest::GetInstance()->test_to_run_count() > 0)
        return rc;
    std::fprintf(stderr, "driver-suite: no test matches the filter '%s'\n",
                 GTEST_FLAG_GET(filter).c_str());
    return RigExit::kNoTestSelected;
}
