#include "framework/widgets/ErrorBox.h"

#include <QMessageBox>
#include <QTimer>
#include <QtTest>

class ErrorBoxTest : public QObject
{
    Q_OBJECT

private slots:
    void showsTheMessageModallyUntilClosed();
};

void ErrorBoxTest::showsTheMessageModallyUntilClosed()
{
    QCoreApplication::setApplicationName("zephra");
    QString shownText;
    QString shownTitle;
    Qt::TextFormat format = Qt::AutoText;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        shownText = box->text();
        shownTitle = box->windowTitle();
        format = box->textFormat();
        modal = box->isModal();
        box->accept();
    });
    showErrorBox("'<0x0D>' is not a valid integer value. \xE9");
    QCOMPARE(shownText, QString::fromUtf8("'<0x0D>' is not a valid integer value. \u00E9"));
    QCOMPARE(shownTitle, QString("zephra"));
    QCOMPARE(format, Qt::PlainText);
    QVERIFY(modal);
}

QTEST_MAIN(ErrorBoxTest)
#include "tst_errorbox.moc"
