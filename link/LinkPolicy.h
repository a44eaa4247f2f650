// The link test's rules that zephra-cli link and the window's link test tab share: when a
// silent link is given up, the first line of what the user is told then, the figures in
// milliseconds and the two loss shares. Pure.
#pragma once

#include "link/LinkDirection.h"

#include <string>

namespace radio {

// How long a link may stay silent before the test gives up, beyond two packets' line time.
constexpr LinkTime NoAnswerTime = std::chrono::seconds(3);
LinkTime giveUpTime(const LinkDirection &link);

// "Nothing came back over the link within n seconds." or, when bytes but no packets came
// back, "Bytes came back, but no packets, within n seconds." (n: waited, rounded up).
std::string silenceText(bool bytesCameBack, LinkTime waited);

double milliseconds(LinkTime time);

// The share of a direction's sent packets that did not arrive intact (lost or damaged), and
// that did not arrive at all (lost only), percent; 0 before any was sent.
double notIntactPercent(const LinkFigures &figures);
double lostOnlyPercent(const LinkFigures &figures);

} // namespace radio
