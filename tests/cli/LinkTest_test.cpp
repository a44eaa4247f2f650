// zephra-cli link in this process, over a pty whose adapter is removed while the run writes.
#include "cli/Commands.h"
#include "cli/LinkTest.h"
#include "tests/support/PtyPair.h"
#include "tests/support/RemovedAdapter.h"
#include "tests/support/Watchdog.h"

// The write refused at its start never ends: the run ends with the device's error instead of
// waiting for that write when it lets the port go.
TEST(LinkTest, AnAdapterRemovedAtAWriteEndsTheRunWithTheDevicesError)
{
    const Watchdog watchdog(std::chrono::seconds(60));
    PortDirectory directory;
    PtyPair pty;
    cli::LinkOptions options;
    options.ports = {directory.publish(pty, 7)};
    options.baud = 115200;
    options.count = 10;
    RemovedAdapter adapter;
    adapter.removeAtNextWrite();
    EXPECT_EQ(cli::linkTest(options), cli::PortError);
}
