// What zephra-cli prints about a module: one line per setting ("baud=9600"), the firmware
// code first, or one JSON object with the same names and words (the channel as a number).
// A value out of its setting's range shows as "unknown (XX)" with its byte, or null in JSON.
// The firmware code's bytes are taken as Windows-1252, as the window shows them, and printed
// as UTF-8.
#pragma once

#include "cli/ModuleLink.h"
#include "serial/EComPort.h"

#include <string>

std::string textReport(const ModuleState &state);
// One value as the text report shows it ("9600", "unknown (05)"); code is one of the seven.
std::string shownValue(std::uint8_t code, std::uint8_t value);
std::string jsonReport(const ModuleState &state);
// A JSON string literal of text.
std::string jsonText(const std::string &text);
// The firmware code as printed.
std::string firmwareText(const std::string &firmware);
// A port error as the window's error box shows it: the message with the closing "." rule,
// then the advice line when there is one; each line ends in a newline.
std::string portErrorText(const EComPort &error);
