#include "protocol/ReplyAssembler.h"

#include "protocol/FrameCodec.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// Setting reply code 04, value 0x64 (checksum 60), and a firmware-code reply.
const std::string settingReply = "\x02"
                                 "000464\x03"
                                 "60\r";
const std::string firmwareReply = "\x02"
                                  "1234ZR24-FW-1.0.0a\x03"
                                  "00\r";

struct Collector
{
    ReplyAssembler assembler;
    std::vector<std::string> replies;

    void feed(std::string_view bytes)
    {
        assembler.feed(bytes, [this](std::string_view reply) { replies.emplace_back(reply); });
    }
};

} // namespace

TEST(ReplyAssembler, NoiseBeforeTheStxIsNotPartOfTheReply)
{
    Collector c;
    c.feed("\n\x03garbage 12" + settingReply + "\n");
    EXPECT_EQ(c.replies, std::vector<std::string>{settingReply});
}

TEST(ReplyAssembler, AReplySplitAnywhereIsAssembledAcrossFeeds)
{
    for (const std::string &reply : {settingReply, firmwareReply}) {
        const std::string line = "\n" + reply + "\n";
        for (std::size_t split = 0; split <= line.size(); ++split) {
            Collector c;
            c.feed(line.substr(0, split));
            c.feed(line.substr(split));
            EXPECT_EQ(c.replies, std::vector<std::string>{reply}) << "split at " << split;
        }
    }
    Collector byteByByte;
    for (char ch : firmwareReply)
        byteByByte.feed(std::string(1, ch));
    EXPECT_EQ(byteByByte.replies, std::vector<std::string>{firmwareReply});
}

TEST(ReplyAssembler, SeveralRepliesInOneFeedAreHandedOnInOrder)
{
    Collector c;
    c.feed(settingReply + "\n" + firmwareReply + "\n" + settingReply);
    EXPECT_EQ(c.replies, (std::vector<std::string>{settingReply, firmwareReply, settingReply}));
}

TEST(ReplyAssembler, ACrDoesNotClearTheBufferOnlyAnStxDoes)
{
    Collector c;
    c.feed(settingReply + "\n\r");
    c.feed("\x02\r");
    EXPECT_EQ(c.replies, (std::vector<std::string>{settingReply, settingReply + "\n\r", "\x02\r"}));
    EXPECT_EQ(c.assembler.pending(), "\x02\r");
}

TEST(ReplyAssembler, TextsUpToTheLongestReplyAreHandedOnWhole)
{
    Collector c;
    const std::string longest = "\x02" + std::string(frame::FirmwareReplyLength - 2, 'x') + "\r";
    const std::string tooLong = "\x02" + std::string(frame::FirmwareReplyLength - 1, 'x') + "\r";
    c.feed(longest + tooLong);
    EXPECT_EQ(c.replies, std::vector<std::string>{longest});
    EXPECT_EQ(c.assembler.pendingLength(), tooLong.size());
}

TEST(ReplyAssembler, TenMegabytesWithoutStxNeverReachTheHandlerAndCostNoMemory)
{
    Collector c;
    // Starts like a valid reply and ends like one, with noise and CRs between and no STX:
    // neither the first nor the last bytes may pass for a reply.
    c.feed(settingReply.substr(0, 10));
    std::mt19937 random(7);
    std::string chunk(64 * 1024, '\0');
    for (int round = 0; round < 160; ++round) {
        for (char &ch : chunk) {
            ch = static_cast<char>(random());
            if (ch == frame::Stx)
                ch = frame::Cr;
        }
        if (round == 0)
            chunk.replace(0, 16, 16, 'x'); // no CR while the text is still short enough
        c.feed(chunk);
    }
    c.feed(settingReply.substr(1));
    EXPECT_TRUE(c.replies.empty());
    EXPECT_GT(c.assembler.pendingLength(), 10'000'000u);
    EXPECT_EQ(c.assembler.pending(), "");
    static_assert(sizeof(ReplyAssembler) <= 64, "the buffer must not grow with the line");

    c.feed(settingReply);
    EXPECT_EQ(c.replies, std::vector<std::string>{settingReply});
}

TEST(ReplyAssembler, AHandlerThatFeedsAgainKeepsItsReply)
{
    ReplyAssembler assembler;
    std::vector<std::string> replies;
    std::function<void(std::string_view)> handler = [&](std::string_view reply) {
        if (replies.empty())
            assembler.feed("\x02zz", handler);
        replies.emplace_back(reply);
    };
    assembler.feed(settingReply, handler);
    EXPECT_EQ(replies, std::vector<std::string>{settingReply});
    EXPECT_EQ(assembler.pending(), "\x02zz");
}
