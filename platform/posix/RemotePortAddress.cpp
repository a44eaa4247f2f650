#include "platform/ComNames.h"

#include <charconv>

std::optional<RemotePortAddress> remotePortAddress(std::string_view path)
{
    constexpr std::string_view scheme = "rfc2217://";
    if (path.substr(0, scheme.size()) != scheme)
        return std::nullopt;
    path.remove_prefix(scheme.size());
    if (!path.empty() && path.back() == '/')
        path.remove_suffix(1);
    const std::size_t colon = path.rfind(':');
    if (colon == std::string_view::npos || colon == 0)
        return std::nullopt;
    std::string_view host = path.substr(0, colon);
    const std::string_view digits = path.substr(colon + 1);
    if (host.front() == '[') {
        if (host.size() < 3 || host.back() != ']')
            return std::nullopt;
        host = host.substr(1, host.size() - 2);
    } else if (host.find_first_of(":[]/") != std::string_view::npos) {
        return std::nullopt;
    }
    unsigned port = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || port == 0 ||
        port > 65535)
        return std::nullopt;
    return RemotePortAddress{std::string(host), port};
}
