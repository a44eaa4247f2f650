// The serial component on Windows' own comm functions, against a module at RUN that echoes
// every byte (zephra-sim behind the COM name in ZEPHRA_TEST_PORT, see sim-under-wine.sh): the
// event thread's waits, each way of handing its events to the UI thread, and opens and closes
// with a wait pending.
#include "framework/core/Application.h"
#include "serial/ComPort.h"

#include "tests/support/Watchdog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <string>

class Echo : public ::testing::TestWithParam<TSyncMethod>
{
};

INSTANTIATE_TEST_SUITE_P(SyncMethods, Echo, ::testing::Values(smThreadSync, smWindowSync, smNone));

TEST_P(Echo, WhatGoesOutComesBackThroughOnRxChar)
{
    const char *name = std::getenv("ZEPHRA_TEST_PORT");
    ASSERT_NE(name, nullptr) << "ZEPHRA_TEST_PORT names the port of an echoing module";
    Watchdog watchdog(std::chrono::seconds(120));
    TComPort port;
    port.setPort(name);
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
    auto receivedNow = [&] {
        std::lock_guard lock(mutex);
        return received;
    };
    const std::string sent = "The quick brown fox under Wine";
    for (int round = 0; round < 50; ++round) {
        port.Open();
        port.Write(sent.data(), static_cast<std::int32_t>(sent.size()));
        while (receivedNow().size() < sent.size()) {
            Application::instance().ProcessMessages();
            Sleep(1);
        }
        port.Close();
        EXPECT_EQ(receivedNow(), sent) << "round " << round;
        std::lock_guard lock(mutex);
        received.clear();
    }
    EXPECT_EQ(onUiThread, GetParam() != smNone);
}
