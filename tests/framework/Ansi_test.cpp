#include "framework/qt/Ansi.h"

#include <gtest/gtest.h>

TEST(Ansi, EveryByteSurvivesTheRoundTrip)
{
    std::string all;
    for (int byte = 0; byte < 256; ++byte)
        all.push_back(static_cast<char>(byte));

    const QString text = fromAnsi(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(toAnsi(text), all);
    for (int byte = 0; byte < 256; ++byte)
        EXPECT_EQ(toAnsiChar(fromAnsiChar(static_cast<char>(byte))), static_cast<char>(byte))
            << "byte " << byte;
}

TEST(Ansi, MapsTheCodePageCharacters)
{
    EXPECT_EQ(fromAnsiChar('\x80'), QChar(0x20AC)); // euro sign
    EXPECT_EQ(fromAnsiChar('\x8A'), QChar(0x0160));
    EXPECT_EQ(fromAnsiChar('\x9F'), QChar(0x0178));
    EXPECT_EQ(fromAnsiChar('\xE9'), QChar(0x00E9));
    EXPECT_EQ(fromAnsi(std::string("A\0B", 3)), QString(QChar(u'A')) + QChar(0) + QChar(u'B'));
    EXPECT_EQ(toAnsi(u"\u20AC\u2122\u00FF"), "\x80\x99\xFF");
}

TEST(Ansi, UndefinedBytesBecomeTheirControlCharacters)
{
    for (unsigned char byte : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
        EXPECT_EQ(fromAnsiChar(static_cast<char>(byte)), QChar(byte));
        EXPECT_EQ(toAnsiChar(QChar(byte)), static_cast<char>(byte));
    }
}

TEST(Ansi, CharactersWithoutAByteBecomeQuestionMarks)
{
    EXPECT_EQ(toAnsiChar(QChar(0x4E2D)), '?');
    // C1 controls that the code page replaced by printable characters have no byte.
    EXPECT_EQ(toAnsiChar(QChar(0x0080)), '?');
    EXPECT_EQ(toAnsiChar(QChar(0x009F)), '?');
    // One character outside the basic plane is one '?', a lone surrogate too.
    EXPECT_EQ(toAnsi(QString::fromUtf8("a\xF0\x9F\x93\xA1"
                                       "b")),
              "a?b");
    EXPECT_EQ(toAnsi(QString(QChar(0xD800)) + u'x'), "?x");
}
