// Feeds arbitrary received bytes, cut into arbitrary pieces, through the reply assembler and
// the reply analysis. The pieces' lengths come from the end of the input, the bytes from the
// front. Checked against a plain model that keeps the whole text since the last STX: the
// bounded assembler hands on exactly the model's texts that could be replies, whatever the
// cutting, and nothing longer; accepted replies are 11 or 23 bytes with sane results.
#include "FuzzCheck.h"

#include "framework/core/HexPair.h"
#include "protocol/FrameCodec.h"
#include "protocol/ReplyAnalysis.h"
#include "protocol/ReplyAssembler.h"
#include "protocol/SettingTable.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

namespace {

// The assembly rule with an unbounded buffer.
struct ModelAssembler
{
    std::string buffer;
    std::vector<std::string> texts; // every text that a CR ended

    void feed(std::string_view bytes)
    {
        for (char c : bytes) {
            buffer += c;
            if (c == frame::Stx)
                buffer.assign(1, c);
            else if (c == frame::Cr)
                texts.push_back(buffer);
        }
    }
};

void checkEffect(const std::string &reply)
{
    const ReplyEffect effect = analyseReply(reply);
    if (std::holds_alternative<std::monostate>(effect))
        return;
    if (const auto *firmware = std::get_if<FirmwareCodeUpdate>(&effect)) {
        FUZZ_CHECK(reply.size() == frame::FirmwareReplyLength);
        FUZZ_CHECK(firmware->code == reply.substr(5, frame::FirmwareCodeLength));
        return;
    }
    const auto &update = std::get<SettingUpdate>(effect);
    FUZZ_CHECK(reply.size() == frame::SettingReplyLength);
    const SettingRow *row = findSetting(update.code);
    FUZZ_CHECK(row != nullptr);
    const bool inRange = update.value <= row->maxValue;
    switch (row->control) {
    case SettingControl::RadioGroup:
        FUZZ_CHECK(update.controlValue == (inRange ? update.value : -1));
        break;
    case SettingControl::DecimalScrollBar:
        FUZZ_CHECK(update.controlValue >= 0 && update.controlValue <= row->maxValue);
        FUZZ_CHECK(update.controlValue == (inRange ? update.value : row->outOfRangeValue));
        break;
    case SettingControl::HexScrollBar:
        FUZZ_CHECK(update.controlValue == update.value);
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // The whole input as one reply, so that the analysis also sees texts the assembler would cut.
    checkEffect(std::string(reinterpret_cast<const char *>(data), size));

    FuzzedDataProvider input(data, size);
    std::vector<std::string> pieces;
    while (input.remaining_bytes() > 0) {
        const auto length = input.ConsumeIntegralInRange<std::size_t>(0, 40);
        pieces.push_back(input.ConsumeBytesAsString(length));
    }

    ReplyAssembler assembler;
    ModelAssembler model;
    std::vector<std::string> handedOn;
    const auto collect = [&](std::string_view reply) { handedOn.emplace_back(reply); };
    for (const std::string &piece : pieces) {
        assembler.feed(piece, collect);
        model.feed(piece);
        FUZZ_CHECK(assembler.pendingLength() == model.buffer.size());
        if (model.buffer.size() <= ReplyAssembler::MaxKept)
            FUZZ_CHECK(assembler.pending() == model.buffer);
    }

    std::vector<std::string> candidates;
    for (const std::string &text : model.texts) {
        if (text.size() <= ReplyAssembler::MaxKept)
            candidates.push_back(text);
        else
            FUZZ_CHECK(std::holds_alternative<std::monostate>(analyseReply(text)));
    }
    FUZZ_CHECK(handedOn == candidates);

    // The same bytes in one piece give the same replies.
    std::string all;
    for (const std::string &piece : pieces)
        all += piece;
    ReplyAssembler whole;
    std::vector<std::string> handedOnWhole;
    whole.feed(all, [&](std::string_view reply) { handedOnWhole.emplace_back(reply); });
    FUZZ_CHECK(handedOnWhole == handedOn);

    for (const std::string &reply : handedOn) {
        FUZZ_CHECK(!reply.empty() && reply.back() == frame::Cr);
        checkEffect(reply);
    }
    return 0;
}
