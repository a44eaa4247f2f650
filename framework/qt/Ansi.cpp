#include "framework/qt/Ansi.h"

#include "framework/core/AnsiText.h"

QChar fromAnsiChar(char byte)
{
    return QChar(ansiToUnicode(byte));
}

QString fromAnsi(std::string_view bytes)
{
    QString text;
    text.resize(static_cast<qsizetype>(bytes.size()));
    QChar *out = text.data();
    for (char byte : bytes)
        *out++ = fromAnsiChar(byte);
    return text;
}

char toAnsiChar(QChar character)
{
    return unicodeToAnsi(character.unicode());
}

std::string toAnsi(QStringView text)
{
    return utf16ToAnsi(std::u16string_view(text.utf16(), static_cast<std::size_t>(text.size())));
}
