#include "framework/qt/Memo.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>
#include <QtTest>

using qt::Memo;

class MemoTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void everyTypedCharacterRunsOnKeyPressThenIsHandled();
    void keysWithoutCharacterDoNotRunOnKeyPress();
    void characterBytesAreWindows1252();
    void longLinesWrapAndNoScrollBarShows();

private:
    std::unique_ptr<Memo> m_memo;
    std::string m_keys;
};

void MemoTest::init()
{
    m_memo = std::make_unique<Memo>();
    m_memo->resize(200, 80);
    m_keys.clear();
    m_memo->onKeyPress = [this](char key) {
        // The box has not handled the key yet when the handler runs.
        m_keys.push_back(key);
    };
    m_memo->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_memo.get()));
}

void MemoTest::everyTypedCharacterRunsOnKeyPressThenIsHandled()
{
    QString textAtKeyPress;
    m_memo->onKeyPress = [&](char key) {
        m_keys.push_back(key);
        textAtKeyPress = m_memo->toPlainText();
    };
    QTest::keyClick(m_memo.get(), Qt::Key_A, Qt::NoModifier);
    QCOMPARE(textAtKeyPress, QString());
    QTest::keyClick(m_memo.get(), Qt::Key_Return);
    QTest::keyClick(m_memo.get(), Qt::Key_B);
    QCOMPARE(m_keys, std::string("a\rb"));
    QCOMPARE(m_memo->toPlainText(), QString("a\nb"));

    QTest::keyClick(m_memo.get(), Qt::Key_Backspace);
    QCOMPARE(m_keys, std::string("a\rb\b"));
    QCOMPARE(m_memo->toPlainText(), QString("a\n"));
}

void MemoTest::keysWithoutCharacterDoNotRunOnKeyPress()
{
    QTest::keyClicks(m_memo.get(), "xy");
    m_keys.clear();
    QTest::keyClick(m_memo.get(), Qt::Key_Left);
    QTest::keyClick(m_memo.get(), Qt::Key_Delete);
    QTest::keyClick(m_memo.get(), Qt::Key_F5);
    QTest::keyClick(m_memo.get(), Qt::Key_Shift);
    QCOMPARE(m_keys, std::string());
    QCOMPARE(m_memo->toPlainText(), QString("x"));
}

void MemoTest::characterBytesAreWindows1252()
{
    QKeyEvent eacute(QEvent::KeyPress, Qt::Key_Eacute, Qt::NoModifier, QString(QChar(0xE9)));
    QCoreApplication::sendEvent(m_memo.get(), &eacute);
    QKeyEvent euro(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(0x20AC)));
    QCoreApplication::sendEvent(m_memo.get(), &euro);
    QKeyEvent han(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(0x4E2D)));
    QCoreApplication::sendEvent(m_memo.get(), &han);
    QCOMPARE(m_keys, std::string("\xE9\x80?"));
}

void MemoTest::longLinesWrapAndNoScrollBarShows()
{
    QVERIFY(!m_memo->verticalScrollBar()->isVisible());
    // One long line without spaces, as the receive box gets it, breaks at the width.
    m_memo->setPlainText(QString("AB<0x0D><0x0A>").repeated(20));
    QCOMPARE(m_memo->document()->blockCount(), 1);
    QTRY_VERIFY(m_memo->document()->firstBlock().layout()->lineCount() > 1);
    m_memo->setPlainText(QString("line\n").repeated(40));
    QVERIFY(!m_memo->verticalScrollBar()->isVisible());
    QVERIFY(!m_memo->horizontalScrollBar()->isVisible());
}

QTEST_MAIN(MemoTest)
#include "Memo_test.moc"
