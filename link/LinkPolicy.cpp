#include "link/LinkPolicy.h"

namespace radio {

namespace {

double percentOfSent(std::uint64_t count, const LinkFigures &figures)
{
    if (figures.sent == 0)
        return 0;
    return 100.0 * static_cast<double>(count) / static_cast<double>(figures.sent);
}

} // namespace

LinkTime giveUpTime(const LinkDirection &link)
{
    return NoAnswerTime + 2 * link.packetInterval();
}

std::string silenceText(bool bytesCameBack, LinkTime waited)
{
    const std::string seconds =
        std::to_string(std::chrono::ceil<std::chrono::seconds>(waited).count());
    return bytesCameBack ? "Bytes came back, but no packets, within " + seconds + " seconds."
                         : "Nothing came back over the link within " + seconds + " seconds.";
}

double milliseconds(LinkTime time)
{
    return static_cast<double>(time.count()) / 1000.0;
}

double notIntactPercent(const LinkFigures &figures)
{
    return percentOfSent(figures.lost + figures.damaged, figures);
}

double lostOnlyPercent(const LinkFigures &figures)
{
    return percentOfSent(figures.lost, figures);
}

} // namespace radio
