// The enumerations that describe a serial line and its port: line speed, stop bits, data
// bits, parity, the DTR and RTS modes, the flow-control preset, the port events and their
// set, the way event handlers are run, and the groups of saved settings. Each value is
// stored as its ordinal in one byte; the sets in one word. Plain data, any thread.
#pragma once

#include "serial/settings/EnumSet.h"

#include <cstdint>

enum TBaudRate : std::uint8_t {
    brCustom,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};

enum TStopBits : std::uint8_t { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };

enum TDataBits : std::uint8_t { dbFive, dbSix, dbSeven, dbEight };

enum TParityBits : std::uint8_t { prNone, prOdd, prEven, prMark, prSpace };

enum TDTRFlowControl : std::uint8_t { dtrDisable, dtrEnable, dtrHandshake };

enum TRTSFlowControl : std::uint8_t { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };

// Preset computed from, and written into, the individual flow-control flags.
enum TFlowControl : std::uint8_t { fcHardware, fcSoftware, fcNone, fcCustom };

enum TComEvent : std::uint8_t {
    evRxChar,
    evTxEmpty,
    evRxFlag,
    evRing,
    evBreak,
    evCTS,
    evDSR,
    evError,
    evRLSD,
    evRx80Full
};

// Bit n stands for the event with ordinal n; a port starts with all ten (0x03FF).
using TComEvents = EnumSet<TComEvent, std::uint16_t, 10>;

// In which thread the port's event handlers run.
enum TSyncMethod : std::uint8_t { smThreadSync, smWindowSync, smNone };

// Groups of settings that saving and loading cover.
enum TSettingGroup : std::uint8_t {
    sgBasic,
    sgFlowControl,
    sgBuffer,
    sgTimeouts,
    sgParity,
    sgMisc
};

using TSettingGroups = EnumSet<TSettingGroup, std::uint8_t, 6>;
