// Text forms of the line settings, as saved settings write them, and the conversions back.
// Text to value ignores ASCII letter case only (nothing is trimmed) and gives the type's
// fallback for any text that names no value. Booleans are "Yes"/"No"; characters are the
// character itself or "#" and the decimal code. No conversion fails. Pure functions over
// constant tables, callable from any thread.
#pragma once

#include "serial/settings/ComTypes.h"

#include <string>
#include <string_view>

std::string BaudRateToText(TBaudRate value);
TBaudRate TextToBaudRate(std::string_view text); // fallback br9600

std::string StopBitsToText(TStopBits value);
TStopBits TextToStopBits(std::string_view text); // fallback sbOneStopBit

std::string DataBitsToText(TDataBits value);
TDataBits TextToDataBits(std::string_view text); // fallback dbEight

std::string ParityToText(TParityBits value);
TParityBits TextToParity(std::string_view text); // fallback prNone

std::string FlowControlToText(TFlowControl value);
TFlowControl TextToFlowControl(std::string_view text); // fallback fcCustom

std::string DTRControlToText(TDTRFlowControl value);
TDTRFlowControl TextToDTRControl(std::string_view text); // fallback dtrDisable

std::string RTSControlToText(TRTSFlowControl value);
TRTSFlowControl TextToRTSControl(std::string_view text); // fallback rtsDisable

// "Yes" / "No"; only "YES" in any letter case reads back as true.
std::string BoolToText(bool value);
bool TextToBool(std::string_view text);

// Codes 33 to 127 as the character itself, every other code as "#" and its decimal value.
std::string CharToText(char value);
// Empty text: code 0. "#" and more: the rest read as an integer, low 8 bits (code 0 when
// it is not a valid integer). Anything else: its first byte.
char TextToChar(std::string_view text);
