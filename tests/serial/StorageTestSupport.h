// Shared by the settings storage tests: a private configuration folder (XDG_CONFIG_HOME) that
// holds the registry's key files and the test's INI file, raw access to a key's stored values,
// and a snapshot of every setting the storage covers, to compare ports by.
#pragma once

#include "framework/core/IniFile.h"
#include "framework/core/Registry.h"
#include "platform/posix/RegistryStore.h"
#include "serial/ComPort.h"
#include "tests/support/ConfigHome.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

inline std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// "HKEY_CURRENT_USER\\Software\\Zephra\\<leaf>" as the store names it.
inline RegistryKeyPath userKeyPath(const std::string &leaf)
{
    return RegistryKeyPath{"HKEY_CURRENT_USER", {"Software", "Zephra", leaf}};
}

// The file that holds that key.
inline std::string keyFilePath(const RegistryKeyPath &path)
{
    return registryStoreDirectory() + "/" + registryKeyFileName(path);
}

// The key's values as stored, in the order they were first written.
inline std::vector<RegistryValue> storedValues(const RegistryKeyPath &path)
{
    RegistryKeyData key;
    EXPECT_EQ(RegistryStore(registryStoreDirectory()).readKey(path, key), ERROR_SUCCESS);
    return key.values;
}

inline void setRawValue(Registry &registry, const char *name, DWORD type, const std::string &data)
{
    ASSERT_EQ(RegSetValueExA(registry.currentKey(), name, 0, type,
                             reinterpret_cast<const BYTE *>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
}

// Every value the settings storage saves and loads.
struct PortSettings
{
    std::string port;
    TBaudRate baudRate;
    std::int32_t customBaudRate;
    TStopBits stopBits;
    TDataBits dataBits;
    char eventChar;
    bool discardNull;
    TParityBits parityBits;
    bool parityCheck, parityReplace;
    char replaceChar;
    std::int32_t outputSize, inputSize;
    std::int32_t readInterval, readTotalConstant, readTotalMultiplier;
    std::int32_t writeTotalConstant, writeTotalMultiplier;
    TRTSFlowControl controlRTS;
    TDTRFlowControl controlDTR;
    bool dsrSensitivity, outCTSFlow, outDSRFlow, txContinueOnXoff, xonXoffIn, xonXoffOut;
    char xoffChar, xonChar;

    auto tie() const
    {
        return std::tie(port, baudRate, customBaudRate, stopBits, dataBits, eventChar, discardNull,
                        parityBits, parityCheck, parityReplace, replaceChar, outputSize, inputSize,
                        readInterval, readTotalConstant, readTotalMultiplier, writeTotalConstant,
                        writeTotalMultiplier, controlRTS, controlDTR, dsrSensitivity, outCTSFlow,
                        outDSRFlow, txContinueOnXoff, xonXoffIn, xonXoffOut, xoffChar, xonChar);
    }
    friend bool operator==(const PortSettings &a, const PortSettings &b)
    {
        return a.tie() == b.tie();
    }
    template<typename T> static auto shown(const T &value)
    {
        if constexpr (std::is_same_v<T, std::string>)
            return "'" + value + "'";
        else if constexpr (std::is_same_v<T, char>)
            return int(static_cast<unsigned char>(value));
        else
            return +value;
    }
    // Every value in field order; numbers, flags and characters as numbers.
    friend std::ostream &operator<<(std::ostream &out, const PortSettings &s)
    {
        std::apply([&](const auto &...values) { ((out << shown(values) << ' '), ...); }, s.tie());
        return out;
    }
};

inline PortSettings settingsOf(const TCustomComPort &p)
{
    const TComFlowControl &flow = p.FlowControl();
    return PortSettings{p.Port(),
                        p.BaudRate(),
                        p.CustomBaudRate(),
                        p.StopBits(),
                        p.DataBits(),
                        p.EventChar(),
                        p.DiscardNull(),
                        p.Parity().Bits(),
                        p.Parity().Check(),
                        p.Parity().Replace(),
                        p.Parity().ReplaceChar(),
                        p.Buffer().OutputSize(),
                        p.Buffer().InputSize(),
                        p.Timeouts().ReadInterval(),
                        p.Timeouts().ReadTotalConstant(),
                        p.Timeouts().ReadTotalMultiplier(),
                        p.Timeouts().WriteTotalConstant(),
                        p.Timeouts().WriteTotalMultiplier(),
                        flow.ControlRTS(),
                        flow.ControlDTR(),
                        flow.DSRSensitivity(),
                        flow.OutCTSFlow(),
                        flow.OutDSRFlow(),
                        flow.TxContinueOnXoff(),
                        flow.XonXoffIn(),
                        flow.XonXoffOut(),
                        flow.XoffChar(),
                        flow.XonChar()};
}

// Writes every value of s into a closed port through its setters.
inline void applySettings(TCustomComPort &p, const PortSettings &s)
{
    p.setPort(s.port);
    p.setBaudRate(s.baudRate);
    p.setCustomBaudRate(s.customBaudRate);
    p.setStopBits(s.stopBits);
    p.setDataBits(s.dataBits);
    p.setEventChar(s.eventChar);
    p.setDiscardNull(s.discardNull);
    p.Parity().setBits(s.parityBits);
    p.Parity().setCheck(s.parityCheck);
    p.Parity().setReplace(s.parityReplace);
    p.Parity().setReplaceChar(s.replaceChar);
    p.Buffer().setOutputSize(s.outputSize);
    p.Buffer().setInputSize(s.inputSize);
    p.Timeouts().setReadInterval(s.readInterval);
    p.Timeouts().setReadTotalConstant(s.readTotalConstant);
    p.Timeouts().setReadTotalMultiplier(s.readTotalMultiplier);
    p.Timeouts().setWriteTotalConstant(s.writeTotalConstant);
    p.Timeouts().setWriteTotalMultiplier(s.writeTotalMultiplier);
    TComFlowControl &flow = p.FlowControl();
    flow.setControlRTS(s.controlRTS);
    flow.setControlDTR(s.controlDTR);
    flow.setDSRSensitivity(s.dsrSensitivity);
    flow.setOutCTSFlow(s.outCTSFlow);
    flow.setOutDSRFlow(s.outDSRFlow);
    flow.setTxContinueOnXoff(s.txContinueOnXoff);
    flow.setXonXoffIn(s.xonXoffIn);
    flow.setXonXoffOut(s.xonXoffOut);
    flow.setXoffChar(s.xoffChar);
    flow.setXonChar(s.xonChar);
}

// The message of the ERegistryException that action raises.
template<typename Action> std::string registryFailure(Action action)
{
    try {
        action();
    } catch (const ERegistryException &e) {
        return e.message();
    }
    return "no registry exception";
}
