#include "framework/widgets/ErrorBox.h"

#include "framework/core/Ansi.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>

void showErrorBox(const std::string &message, const std::string &advice)
{
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(), fromAnsi(message),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setObjectName(QStringLiteral("ErrorBox"));
    // A message box shows the desktop's dialog font, not the fonts of the window it belongs
    // to, whose style sheet its children would otherwise inherit.
    const QFont dialogFont = QApplication::font("QMessageBox");
    const QString size = dialogFont.pointSizeF() > 0
                             ? QStringLiteral("%1pt").arg(dialogFont.pointSizeF())
                             : QStringLiteral("%1px").arg(dialogFont.pixelSize());
    box.setStyleSheet(QStringLiteral("* { font-family: \"%1\"; font-size: %2; font-weight: "
                                     "normal; font-style: normal; }")
                          .arg(dialogFont.family(), size));
    // Messages quote received text, which may look like markup ("<0x0D>").
    box.setTextFormat(Qt::PlainText);
    if (!advice.empty()) {
        box.setInformativeText(fromAnsi(advice));
        // The advice quotes file names; the box gives this label no format of its own.
        if (auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
            label->setTextFormat(Qt::PlainText);
    }
    box.exec();
}
