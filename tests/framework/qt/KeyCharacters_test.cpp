#include "framework/qt/KeyCharacters.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string typed(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                  std::string_view text = {})
{
    return keyCharacters(key, modifiers, text);
}

} // namespace

TEST(KeyCharacters, EditingKeysSendTheirControlBytes)
{
    // The key events' own texts vary by platform; the byte does not.
    EXPECT_EQ(typed(Qt::Key_Return, Qt::NoModifier, "\r"), "\r");
    EXPECT_EQ(typed(Qt::Key_Enter, Qt::KeypadModifier), "\r");
    EXPECT_EQ(typed(Qt::Key_Return, Qt::ShiftModifier, "\n"), "\r");
    EXPECT_EQ(typed(Qt::Key_Backspace), "\x08");
    EXPECT_EQ(typed(Qt::Key_Escape), "\x1B");
    EXPECT_EQ(typed(Qt::Key_Return, Qt::ControlModifier), "\n");
    EXPECT_EQ(typed(Qt::Key_Backspace, Qt::ControlModifier), "\x7F");
}

TEST(KeyCharacters, CtrlWithALetterOrAsciiPunctuationSendsItsControlCode)
{
    EXPECT_EQ(typed(Qt::Key_A, Qt::ControlModifier, "a"), "\x01");
    EXPECT_EQ(typed(Qt::Key_C, Qt::ControlModifier, "\x03"), "\x03");
    EXPECT_EQ(typed(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, "Z"), "\x1A");
    EXPECT_EQ(typed(Qt::Key_At, Qt::ControlModifier | Qt::ShiftModifier), std::string(1, '\0'));
    EXPECT_EQ(typed(Qt::Key_BracketLeft, Qt::ControlModifier), "\x1B");
    EXPECT_EQ(typed(Qt::Key_Underscore, Qt::ControlModifier | Qt::ShiftModifier), "\x1F");
    EXPECT_EQ(typed(Qt::Key_Space, Qt::ControlModifier), " ");
    EXPECT_EQ(typed(Qt::Key_1, Qt::ControlModifier, "1"), "");
}

TEST(KeyCharacters, PrintableCharactersSendTheirCodePageBytes)
{
    EXPECT_EQ(typed(Qt::Key_A, Qt::NoModifier, "a"), "a");
    EXPECT_EQ(typed(Qt::Key_A, Qt::ShiftModifier, "A"), "A");
    EXPECT_EQ(typed(Qt::Key_Space, Qt::NoModifier, " "), " ");
    EXPECT_EQ(typed(Qt::Key_Eacute, Qt::NoModifier, "\xE9"), "\xE9");
    // AltGr arrives as Ctrl+Alt on Windows: the layout's character, not a control code.
    EXPECT_EQ(typed(Qt::Key_Q, Qt::ControlModifier | Qt::AltModifier, "@"), "@");
}

TEST(KeyCharacters, KeysThatDeliverNoCharacterSendNothing)
{
    EXPECT_EQ(typed(Qt::Key_Tab, Qt::NoModifier, "\t"), "");
    EXPECT_EQ(typed(Qt::Key_Delete, Qt::NoModifier, "\x7F"), "");
    EXPECT_EQ(typed(Qt::Key_Left), "");
    EXPECT_EQ(typed(Qt::Key_F1), "");
    EXPECT_EQ(typed(Qt::Key_Shift, Qt::ShiftModifier), "");
    EXPECT_EQ(typed(Qt::Key_X, Qt::AltModifier, "x"), "");
}
