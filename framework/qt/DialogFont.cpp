#include "framework/qt/DialogFont.h"

#include <QApplication>
#include <QWidget>

void useDialogFont(QWidget &dialog, const char *kind)
{
    const QFont font = QApplication::font(kind);
    const QString size = font.pointSizeF() > 0 ? QStringLiteral("%1pt").arg(font.pointSizeF())
                                               : QStringLiteral("%1px").arg(font.pixelSize());
    dialog.setStyleSheet(QStringLiteral("* { font-family: \"%1\"; font-size: %2; font-weight: "
                                        "normal; font-style: normal; }")
                             .arg(font.family(), size));
}
