#include "framework/qt/ErrorBox.h"

#include "framework/qt/Ansi.h"
#include "framework/qt/DialogFont.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>

void showErrorBox(const std::string &message, const std::string &advice)
{
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(), fromAnsi(message),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setObjectName(QStringLiteral("ErrorBox"));
    useDialogFont(box, "QMessageBox");
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
