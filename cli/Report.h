// What zephra-cli prints about a module: one line per setting ("baud=9600"), the firmware
// code first, or one JSON object with the same names and words (the channel as a number).
// A value out of its setting's range shows as "unknown (XX)" with its byte, or null in JSON.
// The firmware code's bytes are taken as Windows-1252, as the window shows them, and printed
// as UTF-8.
#pragma once

#include "cli/ModuleLink.h"

#include <string>

std::string textReport(const ModuleState &state);
std::string jsonReport(const ModuleState &state);
// The firmware code as printed.
std::string firmwareText(const std::string &firmware);
