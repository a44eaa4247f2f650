#include "framework/widgets/ErrorBox.h"

#include "framework/core/Ansi.h"

#include <QApplication>
#include <QMessageBox>

void showErrorBox(const std::string &message)
{
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(), fromAnsi(message),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setObjectName(QStringLiteral("ErrorBox"));
    // Messages quote received text, which may look like markup ("<0x0D>").
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
