// The driver suite runs inside the rig's guest only: it needs the guest's real ports and the
// far ends on the host (scripts/drivers).
#include "tests/drivers/suite/FarEnd.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    FarEnd::publishPorts();
    return RUN_ALL_TESTS();
}
