#include "platform/ComNames.h"

#include <cctype>
#include <charconv>

namespace {

constexpr std::string_view kScheme = "rfc2217://";

// The length of "SCHEME://" at the start of the text, or 0 when it does not start so.
std::size_t schemeLength(std::string_view path)
{
    const std::size_t end = path.find("://");
    if (end == 0 || end == std::string_view::npos || !std::isalpha((unsigned char)path[0]))
        return 0;
    for (const char c : path.substr(0, end)) {
        if (!std::isalnum((unsigned char)c) && c != '+' && c != '-' && c != '.')
            return 0;
    }
    return end + 3;
}

// The address in the text, or what is wrong with it.
std::optional<RemotePortAddress> parse(std::string_view path, std::string &fault)
{
    const std::size_t length = schemeLength(path);
    if (length == 0) {
        fault = "is no address of the form rfc2217://HOST:PORT";
        return std::nullopt;
    }
    if (path.substr(0, length) != kScheme) {
        fault = "names the unknown scheme " + std::string(path.substr(0, length)) +
                " (only rfc2217:// is known)";
        return std::nullopt;
    }
    path.remove_prefix(length);
    if (!path.empty() && path.back() == '/')
        path.remove_suffix(1);
    // The last colon parts the port off, except inside a bracketed IPv6 address.
    const std::size_t colon = path.rfind(':');
    const bool hasPort =
        colon != std::string_view::npos && path.find(']', colon) == std::string_view::npos;
    std::string_view host = hasPort ? path.substr(0, colon) : path;
    if (host.empty() || host == "[]") {
        fault = "names no host";
        return std::nullopt;
    }
    if (host.front() == '[') {
        if (host.size() < 3 || host.back() != ']') {
            fault = "names the host \"" + std::string(host) + "\", which is no address";
            return std::nullopt;
        }
        host = host.substr(1, host.size() - 2);
    } else if (host.find_first_of(":[]/") != std::string_view::npos) {
        fault = "names the host \"" + std::string(host) + "\", which is no host name or address";
        return std::nullopt;
    }
    const std::string_view digits = hasPort ? path.substr(colon + 1) : std::string_view();
    if (digits.empty()) {
        fault = "names no port";
        return std::nullopt;
    }
    unsigned long port = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (end != digits.data() + digits.size() ||
        (ec != std::errc() && ec != std::errc::result_out_of_range)) {
        fault = "names the port \"" + std::string(digits) + "\", which is no number";
        return std::nullopt;
    }
    if (ec != std::errc() || port == 0 || port > 65535) {
        fault = "names the port " + std::string(digits) + ", outside 1 to 65535";
        return std::nullopt;
    }
    return RemotePortAddress{std::string(host), unsigned(port)};
}

} // namespace

bool isRemotePortText(std::string_view path)
{
    return schemeLength(path) > 0;
}

std::optional<RemotePortAddress> remotePortAddress(std::string_view path)
{
    std::string fault;
    return parse(path, fault);
}

std::string remotePortFault(std::string_view path)
{
    std::string fault;
    return parse(path, fault) ? std::string() : fault;
}
