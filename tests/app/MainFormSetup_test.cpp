// The setup tab's procedures end to end: the real window, port component and event thread, a
// pseudo-terminal, and the simulated module on its far end.
#include "tests/app/SetupTabSupport.h"
#include "tests/app/WindowScenarios.h"

#include "platform/win32.h"

using Code = SimulatedModule;

namespace {

void storeModuleSettings(SimulatedModule &m, std::vector<std::uint8_t> values)
{
    const std::uint8_t codes[] = {Code::CodeBaudrate, Code::CodeRfMode,    Code::CodeRfDataRate,
                                  Code::CodeRfGain,   Code::CodeRfChannel, Code::CodeRxId,
                                  Code::CodeTxId};
    for (std::size_t i = 0; i < values.size(); ++i)
        m.setSetting(codes[i], values[i]);
}

} // namespace

using SetupProcedures = SetupTabTest;

TEST_F(SetupProcedures, OpenReadsFirmwareCodeAndEverySettingFromAnAnsweringModule)
{
    storeModuleSettings(module(), {std::begin(scenarioSettings), std::end(scenarioSettings)});
    ::testing::AssertionResult statesDuringOpen = ::testing::AssertionFailure();
    at(0, [&] { statesDuringOpen = shows(form(), named::setupConnecting); });

    openSetup();

    EXPECT_TRUE(statesDuringOpen);
    expectShowsTheModule(form());

    EXPECT_EQ(framesReceived(8), readSequenceFrames);
    for (const auto &frame : module().receivedFrames())
        EXPECT_TRUE(frame.accepted);
    EXPECT_TRUE(form().ComPort1->Connected());
    EXPECT_EQ(form().ComPort1->Port(), "COM1");
    EXPECT_EQ(form().ComPort1->BaudRate(), br9600);
    EXPECT_EQ(form().PortOpened, 1);

    // The period that began with the first wait ends after the procedure and changes nothing.
    ASSERT_TRUE(pumpEvents([&] { return !form().Timer1->enabled(); }, 3s));
    EXPECT_EQ(form().StatusConnect->text(), "Connect Ready");
    EXPECT_TRUE(errors().empty());
}

TEST_F(SetupProcedures, ReadThenSaveOfEditedControlsSendTheirFramesToAnAnsweringModule)
{
    storeModuleSettings(module(), {std::begin(scenarioSettings), std::end(scenarioSettings)});
    openSetup();
    module().clearLog();

    expectReadThenSaveShowTheModule(form());

    std::vector<std::string> expected = readSequenceFrames;
    expected.insert(expected.end(), editedSaveFrames.begin(), editedSaveFrames.end());
    EXPECT_EQ(framesReceived(15), expected);
    EXPECT_EQ(module().setting(Code::CodeRfChannel), 7);
    EXPECT_EQ(module().setting(Code::CodeTxId), 5);
    EXPECT_TRUE(errors().empty());
}

TEST_F(SetupProcedures, OpenAgainstSilenceTimesOutOnceAndRunsTheRestAtTheNextTicks)
{
    module().setFaults(faults([](SimulatorFaults &f) { f.silent = true; }));
    // A bar away from 0 is reset by "Open" and shows its new position; one at 0 stays empty.
    form().RF_RX1_IDCode->setPosition(171);
    ASSERT_EQ(form().RF1IDCodeDisplay->text(), "AB");
    logTimerTicks();

    const double seconds = openSetup();

    // A full period for each later exchange would take 10.5 s more; 5 s only for a hang.
    ASSERT_EQ(ticks().size(), 8u) << "one tick ends each exchange";
    EXPECT_GT(ticks()[0], 1.4);
    EXPECT_LT(seconds - ticks()[0], 5.0);
    EXPECT_EQ(framesReceived(8), readSequenceFrames);

    expectTimedOutOpen(form());
    EXPECT_EQ(form().RF_RX1_IDCode->position(), 0);
    EXPECT_EQ(form().RF1IDCodeDisplay->text(), "00");
    EXPECT_TRUE(errors().empty());
}

TEST_F(SetupProcedures, SaveAfterASilentOpenSendsTheDefaultValuesAndShowsTheAcknowledgements)
{
    module().setFaults(faults([](SimulatorFaults &f) { f.silent = true; }));
    openSetup();
    ASSERT_EQ(form().StatusConnect->text(), "Connect Time-Out");
    ASSERT_EQ(framesReceived(8).size(), 8u);
    module().clearFaults();
    module().clearLog();
    storeModuleSettings(module(), {0, 0, 1, 0, 9, 9, 9});
    ::testing::AssertionResult statesDuringSave = ::testing::AssertionFailure();
    at(0, [&] { statesDuringSave = shows(form(), named::setupBusy); });

    form().SaveConfig->click();

    EXPECT_TRUE(statesDuringSave);
    const std::vector<std::string> expected = {
        frameBytes("010003", "02"), frameBytes("010102", "02"), frameBytes("010200", "03"),
        frameBytes("010303", "01"), frameBytes("010400", "05"), frameBytes("010500", "04"),
        frameBytes("010700", "06")};
    EXPECT_EQ(framesReceived(7), expected);
    EXPECT_EQ(module().setting(Code::CodeBaudrate), 3);
    EXPECT_EQ(module().setting(Code::CodeRfMode), 2);
    EXPECT_EQ(module().setting(Code::CodeRfDataRate), 0);
    EXPECT_EQ(module().setting(Code::CodeRfGain), 3);
    EXPECT_EQ(module().setting(Code::CodeRfChannel), 0);

    // Each acknowledgement sets its control; status and firmware code are left alone.
    EXPECT_EQ(form().SelectBaudrateSetup->itemIndex(), 3);
    EXPECT_EQ(form().SelectRFMode->itemIndex(), 2);
    EXPECT_EQ(form().SelectRFRate->itemIndex(), 0);
    EXPECT_EQ(form().SelectRFGain->itemIndex(), 3);
    EXPECT_EQ(form().RFChannelDisplay->text(), "0");
    EXPECT_EQ(form().RF1IDCodeDisplay->text(), "00");
    EXPECT_EQ(form().TXDIDCodeDisplay->text(), "00");
    EXPECT_EQ(form().StatusConnect->text(), "Connect Time-Out");
    EXPECT_EQ(form().BiosDisplay->text(), "");
    EXPECT_TRUE(shows(form(), named::setupConnected));
}

TEST_F(SetupProcedures, SaveSendsTheEditedControlsAndAMissingAcknowledgementLeavesItsDisplayEmpty)
{
    openSetup();
    ASSERT_EQ(form().StatusConnect->text(), "Connect Ready");
    module().clearLog();
    // The user's choices: 2400 BPS, receive only, 250 Kbps, -10 dBm, channel 100, IDs AB, 05.
    qtWidget<qt::RadioGroup>(form().SelectBaudrateSetup)->button(1)->click();
    qtWidget<qt::RadioGroup>(form().SelectRFMode)->button(0)->click();
    qtWidget<qt::RadioGroup>(form().SelectRFRate)->button(0)->click();
    qtWidget<qt::RadioGroup>(form().SelectRFGain)->button(1)->click();
    form().RFChannel->setPosition(100);
    form().RF_RX1_IDCode->setPosition(171);
    form().RF_TXD_IDCode->setPosition(5);
    EXPECT_EQ(form().RF1IDCodeDisplay->text(), "AB");

    clickTimed(form().SaveConfig);

    const std::vector<std::string> expected = {
        frameBytes("010001", "00"), frameBytes("010100", "00"), frameBytes("010200", "03"),
        frameBytes("010301", "03"), frameBytes("010464", "61"), frameBytes("0105AB", "AF"),
        frameBytes("010705", "03")};
    EXPECT_EQ(framesReceived(7), expected);
    EXPECT_EQ(module().setting(Code::CodeRfChannel), 100);
    EXPECT_EQ(module().setting(Code::CodeRxId), 0xAB);
    EXPECT_EQ(form().RFChannelDisplay->text(), "100");
    EXPECT_EQ(form().RF1IDCodeDisplay->text(), "AB");
    EXPECT_EQ(form().TXDIDCodeDisplay->text(), "05");
    EXPECT_EQ(form().StatusConnect->text(), "Connect Ready");
    EXPECT_EQ(form().BiosDisplay->text(), "ZEPHRA24 V1.0A");

    // The transmitter ID's acknowledgement is lost: its display stays cleared, the bar keeps
    // the position that was sent, and only that exchange times out.
    ASSERT_TRUE(pumpEvents([&] { return !form().Timer1->enabled(); }, 3s));
    module().setFaults(faults([](SimulatorFaults &f) {
        f.silent = true;
        f.onlyCode = Code::CodeTxId;
    }));
    form().RF_TXD_IDCode->setPosition(0x33);

    const double seconds = clickTimed(form().SaveConfig);

    EXPECT_GT(seconds, 1.4);
    EXPECT_LT(seconds, 10.0);
    EXPECT_EQ(form().TXDIDCodeDisplay->text(), "");
    EXPECT_EQ(form().RF_TXD_IDCode->position(), 0x33);
    EXPECT_EQ(module().setting(Code::CodeTxId), 0x33);
    EXPECT_EQ(form().RF1IDCodeDisplay->text(), "AB");
    EXPECT_EQ(form().RFChannelDisplay->text(), "100");
    EXPECT_EQ(form().StatusConnect->text(), "Connect Time-Out");
    EXPECT_EQ(form().BiosDisplay->text(), "ZEPHRA24 V1.0A");
    EXPECT_TRUE(errors().empty());
}

TEST_F(SetupProcedures, ReadConfigRereadsAndAfterATimeOutWaitsAFullPeriodAgain)
{
    openSetup();
    module().clearLog();
    storeModuleSettings(module(), {0, 0, 1, 1, 7, 0x0C, 0xFF});
    ::testing::AssertionResult statesDuringRead = ::testing::AssertionFailure();
    at(0, [&] { statesDuringRead = shows(form(), named::setupBusy); });

    clickTimed(form().ReadConfig);

    EXPECT_TRUE(statesDuringRead);
    EXPECT_TRUE(shows(form(), named::setupConnected));
    EXPECT_EQ(framesReceived(8), readSequenceFrames);
    EXPECT_EQ(form().SelectBaudrateSetup->itemIndex(), 0);
    EXPECT_EQ(form().RFChannelDisplay->text(), "7");
    EXPECT_EQ(form().RF1IDCodeDisplay->text(), "0C");
    EXPECT_EQ(form().TXDIDCodeDisplay->text(), "FF");

    // Silence: the bars are reset and then every display is cleared, so all end empty.
    ASSERT_TRUE(pumpEvents([&] { return !form().Timer1->enabled(); }, 3s));
    module().setFaults(faults([](SimulatorFaults &f) { f.silent = true; }));
    double seconds = clickTimed(form().ReadConfig);
    EXPECT_GT(seconds, 1.4);
    EXPECT_LT(seconds, 10.0);
    EXPECT_EQ(form().StatusConnect->text(), "Connect Time-Out");
    EXPECT_EQ(form().BiosDisplay->text(), "");
    EXPECT_EQ(form().SelectBaudrateSetup->itemIndex(), -1);
    EXPECT_EQ(form().RFChannel->position(), 0);
    EXPECT_EQ(form().RFChannelDisplay->text(), "");
    EXPECT_EQ(form().RF1IDCodeDisplay->text(), "");
    EXPECT_EQ(form().TXDIDCodeDisplay->text(), "");

    // The time-out left a 1 ms interval behind; the next procedure restores the full period.
    seconds = clickTimed(form().ReadConfig);
    EXPECT_GT(seconds, 1.4);
    EXPECT_LT(seconds, 10.0);
    EXPECT_TRUE(errors().empty());
}

TEST_F(SetupProcedures, CloseReturnsToIdleKeepsTheShownValuesAndAllowsOpeningAgain)
{
    storeModuleSettings(module(), {1, 0, 0, 0, 42, 0x10, 0x20});
    openSetup();

    form().ClosePortSetup->click();

    EXPECT_EQ(form().PortOpened, 0);
    EXPECT_FALSE(form().ComPort1->Connected());
    EXPECT_EQ(form().StatusConnect->text(), "Disconnect");
    EXPECT_TRUE(shows(form(), named::idleBothOpenable));
    EXPECT_EQ(form().BiosDisplay->text(), "ZEPHRA24 V1.0A");
    EXPECT_EQ(form().SelectBaudrateSetup->itemIndex(), 1);
    EXPECT_EQ(form().RFChannelDisplay->text(), "42");
    EXPECT_EQ(form().TXDIDCodeDisplay->text(), "20");
    EXPECT_TRUE(pumpEvents([&] { return !port().slaveOpen(); }, 3s));

    module().clearLog();
    openSetup();
    EXPECT_EQ(form().StatusConnect->text(), "Connect Ready");
    EXPECT_EQ(framesReceived(8).size(), 8u);
    EXPECT_TRUE(errors().empty());
}

TEST_F(SetupProcedures, CloseDuringOpenEndsTheSequenceWithTheWriteError)
{
    module().setFaults(faults([](SimulatorFaults &f) { f.silent = true; }));
    at(200, [&] { form().ClosePortSetup->click(); });

    const double seconds = openSetup();

    // The wait that was running still ends by time-out; the next command meets a closed port.
    EXPECT_GT(seconds, 1.4);
    EXPECT_LT(seconds, 10.0);
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_EQ(errors()[0], "WriteFile function failed (win error code: 6)");
    EXPECT_EQ(framesReceived(1).size(), 1u);
    EXPECT_FALSE(form().ComPort1->Connected());
    EXPECT_EQ(form().PortOpened, 0);
    EXPECT_TRUE(shows(form(), named::idleBothOpenable));
    EXPECT_EQ(form().StatusConnect->text(), "Connect Time-Out");
}

TEST_F(SetupProcedures, CloseDuringTheLastWaitOfOpenLeavesTheTabClosed)
{
    // Only the last command goes unanswered; "Close" comes while the open waits for it.
    module().setFaults(faults([](SimulatorFaults &f) {
        f.silent = true;
        f.onlyCode = Code::CodeTxId;
    }));
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (module().receivedFrames().size() == 8 && form().ClosePortSetup->enabled())
            form().ClosePortSetup->click();
    });
    poll.start(5);

    openSetup();

    EXPECT_EQ(form().PortOpened, 0);
    EXPECT_TRUE(shows(form(), named::idleBothOpenable));
    // Nothing is left to press that would write to the closed port.
    EXPECT_TRUE(errors().empty()) << testing::PrintToString(errors());
}

TEST_F(SetupProcedures, OpenThatFailsShowsThePortErrorAndChangesNoControl)
{
    ASSERT_TRUE(choosePort());
    const ControlStates before = shownStates(form());
    // The device went away after it was listed.
    port().unpublish();

    form().OpenPortSetup->click();

    ASSERT_EQ(errors().size(), 1u);
    EXPECT_EQ(errors()[0], "Unable to open com port (win error code: 2)");
    EXPECT_EQ(form().PortOpened, 1);
    EXPECT_FALSE(form().ComPort1->Connected());
    EXPECT_EQ(shownStates(form()), before);
    EXPECT_EQ(form().StatusConnect->text(), "");

    // Held by another opener: refused the same way, with "access denied".
    port().publish(portDirectory(), "COM1");
    HANDLE other = CreateFileA("COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    form().OpenPortSetup->click();
    ASSERT_EQ(errors().size(), 2u);
    EXPECT_EQ(errors()[1], "Unable to open com port (win error code: 5)");
    EXPECT_EQ(shownStates(form()), before);
    CloseHandle(other);

    form().OpenPortSetup->click();
    EXPECT_EQ(form().StatusConnect->text(), "Connect Ready");
    EXPECT_EQ(errors().size(), 2u);
}

TEST_F(SetupProcedures, ScrollBarsShowTheirPositionsWithNoPortOpen)
{
    ASSERT_TRUE(form().RF_RX1_IDCode->enabled());
    form().RF_RX1_IDCode->setPosition(171);
    EXPECT_EQ(form().RF1IDCodeDisplay->text(), "AB");
    form().RF_TXD_IDCode->setPosition(10);
    EXPECT_EQ(form().TXDIDCodeDisplay->text(), "0A");
    form().RFChannel->setPosition(7);
    EXPECT_EQ(form().RFChannelDisplay->text(), "7");
    form().RFChannel->setPosition(500);
    EXPECT_EQ(form().RFChannelDisplay->text(), "124");
}

TEST_F(SetupProcedures, ClosingTheWindowClosesTheSetupConnection)
{
    openSetup();
    ASSERT_TRUE(form().ComPort1->Connected());

    form().close();

    EXPECT_EQ(form().PortOpened, 0);
    EXPECT_FALSE(form().ComPort1->Connected());
    EXPECT_TRUE(pumpEvents([&] { return !port().slaveOpen(); }, 3s));
}
