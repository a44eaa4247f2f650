// The serial component on Windows' own comm functions against a module at RUN that echoes
// (the COM name in ZEPHRA_TEST_PORT; sim-under-wine.sh): the event thread's waits, each way
// of reaching the UI thread, and closes with a wait pending.
#include "framework/core/Application.h"
#include "serial/ComPort.h"

#include "tests/support/Watchdog.h"

#include <cstdlib>
#include <mutex>

class Echo : public ::testing::TestWithParam<TSyncMethod>
{
};

INSTANTIATE_TEST_SUITE_P(SyncMethods, Echo, ::testing::Values(smThreadSync, smWindowSync, smNone));

TEST_P(Echo, WhatGoesOutComesBackThroughOnRxChar)
{
    Watchdog watchdog(std::chrono::seconds(120));
    TComPort port;
    port.setPort(std::getenv("ZEPHRA_TEST_PORT"));
    port.setSyncMethod(GetParam());
    port.FlowControl().setFlowControl(fcNone);
    std::mutex mutex;
    std::string received;
    bool onUiThread = true;
    port.OnRxChar = [&](Component *, std::int32_t count) {
        std::string chunk;
        port.ReadStr(chunk, count);
        std::lock_guard lock(mutex);
        received += chunk;
        onUiThread = onUiThread && Application::instance().isUiThread();
    };
    const std::string sent = "The quick brown fox under Wine";
    for (int round = 0; round < 50; ++round) {
        port.Open();
        port.Write(sent.data(), static_cast<std::int32_t>(sent.size()));
        for (std::size_t got = 0; got < sent.size(); Sleep(1)) {
            Application::instance().ProcessMessages();
            std::lock_guard lock(mutex);
            got = received.size();
        }
        port.Close();
        std::lock_guard lock(mutex);
        EXPECT_EQ(std::exchange(received, {}), sent) << "round " << round;
    }
    EXPECT_EQ(onUiThread, GetParam() != smNone);
}
