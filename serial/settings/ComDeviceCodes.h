// The numbers the device layer gives each line-setting value: line speeds in bit/s, the
// device-control codes for stop bits, data bits and parity, the DTR and RTS control bits of
// the device's flag word, and the communication event mask bit of each port event. Values
// outside an enumeration map to 0. Pure functions over constant tables, any thread.
#pragma once

#include "platform/win32types.h"
#include "serial/settings/ComTypes.h"

// Line speed of a fixed-list value; 0 for brCustom, whose speed is the port's CustomBaudRate.
DWORD baudRateSpeed(TBaudRate value);

BYTE stopBitsCode(TStopBits value);  // ONESTOPBIT 0, ONE5STOPBITS 1, TWOSTOPBITS 2
BYTE dataBitsCount(TDataBits value); // 5 to 8
BYTE parityCode(TParityBits value);  // NOPARITY 0 ... SPACEPARITY 4

DWORD dtrControlBits(TDTRFlowControl value); // bits 4-5 of the flag word
DWORD rtsControlBits(TRTSFlowControl value); // bits 12-13 of the flag word

// The device event-mask bit of one event; the set and the mask order their bits differently,
// so sets are converted member by member.
DWORD comEventMask(TComEvent event);
DWORD eventsToMask(TComEvents events);
TComEvents maskToEvents(DWORD mask);
