// The received bytes behind the test tab's receive box: other views over what came before,
// the oldest bytes leaving at the limit with a note, and the bytes as received for a save.
#include "app/terminal/ReceivedStore.h"

#include "framework/core/ReceiveModel.h"
#include "terminal/ReceivedText.h"

#include <gtest/gtest.h>

namespace {

using namespace terminal;

ArrivalTime at(int ms)
{
    return ArrivalTime{} + std::chrono::hours(24 * 365 * 40) + std::chrono::milliseconds(ms);
}

// What the test tab does with a batch's change.
void apply(ReceivedStore &store, ReceiveModel &box, const ReceivedStore::BoxChange &change)
{
    box.removeEnd(change.retract);
    box.append(change.text);
    if (change.dropFront != 0)
        store.frontDropped(box.replaceFront(change.dropFront, change.note));
}

} // namespace

TEST(ReceivedStore, ShowsWhatCameBeforeInEachViewAndSavesItExactly)
{
    ReceivedStore store;
    ReceiveModel box;
    for (const auto &[ms, bytes] : {std::pair{0, "ab\r"}, {5, "\n<0x0D>"}, {100, "\x01xyz\r"}})
        apply(store, box, store.add(bytes, at(ms)));
    const std::string received = "ab\r\n<0x0D>\x01xyz\r";
    EXPECT_EQ(box.allText(), receivedText(received));
    EXPECT_EQ(store.bytesSource()(box.allText()), received);

    EXPECT_EQ(store.show(View::Lines, Stamps::Off, box.allText()), "ab\n<0x0D><0x01>xyz\n");
    EXPECT_EQ(store.show(View::Lines, Stamps::Relative, {}), "+0.000 ab\n+0.005 <0x0D><0x01>xyz\n");
    // The pause before the last batch ends a hex row; a row still open grows in the box.
    const std::string hex = store.show(View::Hex, Stamps::Off, {});
    EXPECT_EQ(hex, "61 62 0D 0A 3C 30 78 30 44 3E" + std::string(18, ' ') + "  ab..<0x0D>\n" +
                       "01 78 79 7A 0D" + std::string(33, ' ') + "  .xyz.");
    box.clear();
    box.append(hex);
    apply(store, box, store.add("!", at(110)));
    EXPECT_EQ(box.allText(), hex.substr(0, hex.find('\n') + 1) + "01 78 79 7A 0D 21" +
                                 std::string(30, ' ') + "  .xyz.!");
    EXPECT_EQ(store.bytesSource()(box.allText()), received + "!");
}

TEST(ReceivedStore, PastTheLimitTheOldestTextGivesWayToANoteOfHowMuchLeft)
{
    const std::uint64_t limit = ReceivedStore::SmallestLimit;
    ReceivedStore store(limit);
    ReceiveModel box;
    box.setView(40, 5);
    std::string all;
    for (int i = 0; i < 200; ++i) {
        const std::string batch = std::string(999, static_cast<char>('a' + i % 26)) + "\n";
        all += batch;
        apply(store, box, store.add(batch, at(i)));
        EXPECT_LE(store.size(), limit);
        EXPECT_EQ(store.size() + store.dropped(), all.size());
    }
    const std::string kept = store.bytesSource()(box.allText());
    EXPECT_EQ(kept, all.substr(store.dropped()));
    ASSERT_EQ(box.allText().rfind("[", 0), 0u);
    EXPECT_NE(box.allText().find(" KiB received earlier left the box]\n"), std::string::npos);
    // Whole rows of the bytes that left may stay, never fewer than the bytes kept.
    const std::string text = box.allText();
    const std::string rest = text.substr(text.find('\n') + 1);
    EXPECT_EQ(rest.substr(rest.size() - receivedText(kept).size()), receivedText(kept));
    EXPECT_LT(rest.size() - receivedText(kept).size(), 40u);
    // Another view shows the kept bytes after the same note.
    const std::string lines = store.show(View::Lines, Stamps::Off, text);
    EXPECT_EQ(lines, text.substr(0, text.find('\n') + 1) + kept);
    // And back: the box's text is again the record the bytes are taken from.
    box.clear();
    box.append(store.show(View::Received, Stamps::Off, lines));
    EXPECT_EQ(store.bytesSource()(box.allText()), kept);
}

TEST(ReceivedStore, SentBytesAndNotesShowMarkedInEachViewAndNeverJoinTheReceived)
{
    ReceivedStore store(ReceivedStore::SmallestLimit);
    ReceiveModel box;
    box.setView(40, 5);
    // Sent text that reads like a written-out control byte must not be taken for one.
    apply(store, box, store.add("ab", at(0)));
    apply(store, box, store.addSent("<0x01>\x01\n", at(1)));
    apply(store, box, store.add("c\x02<", at(2)));
    apply(store, box, store.addNote("--- note ---", at(3)));
    apply(store, box, store.addSent("z", at(4)));
    const std::string shown = "ab\n> <0x01><0x01><0x0A>\nc<0x02><\n--- note ---\n> z";
    EXPECT_EQ(box.allText(), shown);
    EXPECT_EQ(store.bytesSource()(box.allText()), "abc\x02<");
    EXPECT_EQ(store.size(), 5u);

    EXPECT_EQ(store.show(View::Lines, Stamps::Off, box.allText()),
              "ab\n> <0x01><0x01>\nc<0x02><\n--- note ---\n> z");
    const std::string hex = store.show(View::Hex, Stamps::Off, {});
    EXPECT_EQ(hex.substr(0, 5), "61 62");
    EXPECT_NE(hex.find("\n> 3C 30 78 30 31 3E 01 0A"), std::string::npos) << hex;
    EXPECT_EQ(store.bytesSource()(hex), "abc\x02<");
    box.clear();
    box.append(store.show(View::Received, Stamps::Off, hex));
    EXPECT_EQ(box.allText(), shown);

    // At the limit, sent rows leave with the received bytes before them; the rest is exact.
    const std::string tail(40000, 'y');
    for (const auto &[sent, bytes] :
         {std::pair{false, std::string(40000, 'x')}, {true, std::string("s")}, {false, tail}})
        apply(store, box, sent ? store.addSent(bytes, at(5)) : store.add(bytes, at(5)));
    EXPECT_EQ(store.bytesSource()(box.allText()), tail);
    EXPECT_EQ(store.size(), tail.size());
    EXPECT_NE(box.allText().find("> s\nyyy"), std::string::npos);
}
