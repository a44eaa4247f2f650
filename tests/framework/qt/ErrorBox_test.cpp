#include "framework/qt/ErrorBox.h"

#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include <functional>

class ErrorBoxTest : public QObject
{
    Q_OBJECT

private slots:
    void showsTheMessageModallyUntilClosed();
    void showsAdviceUnderTheMessageAsPlainText();
};

namespace {

// Runs inspect on the box as soon as it shows, then closes it.
void whenShown(std::function<void(QMessageBox *)> inspect)
{
    QTimer::singleShot(0, [inspect] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box)
            inspect(box);
        QApplication::activeModalWidget()->close();
    });
}

} // namespace

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

void ErrorBoxTest::showsAdviceUnderTheMessageAsPlainText()
{
    const QString advice = QStringLiteral("Make <ports>/COM3 a link to the device.");
    QString shownText;
    QString shownAdvice;
    bool plainLabel = false;
    whenShown([&](QMessageBox *box) {
        shownText = box->text();
        shownAdvice = box->informativeText();
        for (const QLabel *label : box->findChildren<QLabel *>()) {
            if (label->text() == advice)
                plainLabel = label->textFormat() == Qt::PlainText;
        }
    });
    showErrorBox("Unable to open com port (win error code: 2).", advice.toStdString());
    QCOMPARE(shownText, QStringLiteral("Unable to open com port (win error code: 2)."));
    QCOMPARE(shownAdvice, advice);
    QVERIFY(plainLabel);

    // No advice, no informative text.
    shownAdvice = QStringLiteral("unset");
    whenShown([&](QMessageBox *box) { shownAdvice = box->informativeText(); });
    showErrorBox("Registry error.");
    QCOMPARE(shownAdvice, QString());
}

QTEST_MAIN(ErrorBoxTest)
#include "ErrorBox_test.moc"
