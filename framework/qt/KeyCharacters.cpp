#include "framework/qt/KeyCharacters.h"

namespace {

// Ctrl with a punctuation key: its ASCII control code, as the Windows keyboard layouts give.
int controlCode(int qtKey)
{
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return qtKey - Qt::Key_A + 1;
    switch (qtKey) {
    case Qt::Key_At:
        return 0x00;
    case Qt::Key_BracketLeft:
        return 0x1B;
    case Qt::Key_Backslash:
        return 0x1C;
    case Qt::Key_BracketRight:
        return 0x1D;
    case Qt::Key_AsciiCircum:
        return 0x1E;
    case Qt::Key_Underscore:
        return 0x1F;
    case Qt::Key_Space:
        return 0x20;
    default:
        return -1;
    }
}

} // namespace

std::string keyCharacters(int qtKey, Qt::KeyboardModifiers modifiers, std::string_view ansiText)
{
    const bool control = modifiers.testFlag(Qt::ControlModifier);
    const bool alt = modifiers.testFlag(Qt::AltModifier);
    // Alt with a key is a menu shortcut on Windows, never a character for the box.
    if (alt && !control)
        return {};
    // Ctrl+Alt is how Windows reports AltGr: the layout's character is typed as without Ctrl.
    const bool controlOnly = control && !alt;

    switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Windows turns Ctrl+Enter into a line feed and Ctrl+Backspace into DEL.
        return std::string(1, controlOnly ? '\x0A' : '\x0D');
    case Qt::Key_Backspace:
        return std::string(1, controlOnly ? '\x7F' : '\x08');
    case Qt::Key_Escape:
        return std::string(1, '\x1B');
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
        return {};
    default:
        break;
    }

    if (controlOnly) {
        const int code = controlCode(qtKey);
        return code < 0 ? std::string() : std::string(1, static_cast<char>(code));
    }
    return std::string(ansiText);
}
