#include "cli/Receipt.h"

#include "cli/Profile.h"
#include "cli/Report.h"
#include "cli/Sha256.h"
#include "framework/core/Format.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>

ProfileId identifyProfile(const std::string &fileName)
{
    std::ifstream file(fileName, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), {});
    if (!file.good() && !file.eof())
        throw EProfile("Cannot read the profile " + fileName + ": " + std::strerror(errno));
    return {fileName, sha256Hex(bytes)};
}

std::string isoTime(std::chrono::system_clock::time_point time)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
    // Windows' %z is the zone's name: the offset is the local time read as UTC, less the time.
    std::tm asUtc = local;
    const long offset = static_cast<long>(_mkgmtime(&asUtc) - seconds) / 60;
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return formatText("%s%c%02ld:%02ld", text, offset < 0 ? '-' : '+', std::labs(offset) / 60,
                      std::labs(offset) % 60);
#else
    localtime_r(&seconds, &local);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    // %z gives +hhmm; ISO 8601's extended form wants +hh:mm.
    std::string out = text;
    out.insert(out.size() - 2, ":");
    return out;
#endif
}

std::string receiptLine(const Receipt &receipt)
{
    std::string device = "{\"path\": " + jsonString(receipt.device.device);
    if (!receipt.device.byPath.empty())
        device += ", \"by-path\": " + jsonString(receipt.device.byPath);
    if (!receipt.device.byId.empty())
        device += ", \"by-id\": " + jsonString(receipt.device.byId);
    device += "}";
    std::string differences;
    for (const std::string &finding : receipt.differences)
        differences += (differences.empty() ? "" : ", ") + jsonString(finding);
    return "{\"time\": " + jsonString(isoTime(receipt.time)) +
           ", \"port\": " + jsonString(receipt.port) + ", \"device\": " + device +
           ", \"firmware\": " + jsonString(firmwareText(receipt.firmware)) + ", \"before\": {" +
           jsonSettings(receipt.before) + "}, \"after\": {" + jsonSettings(receipt.after) +
           "}, \"differences\": [" + differences +
           "], \"result\": " + (receipt.differences.empty() ? "\"pass\"" : "\"FAIL\"") +
           ", \"seconds\": " + formatText("%.2f", receipt.seconds) +
           ", \"profile\": {\"file\": " + jsonString(receipt.profile.file) +
           ", \"sha256\": " + jsonString(receipt.profile.sha256) + "}}";
}
