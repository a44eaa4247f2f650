#include "framework/qt/ComboBox.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QtTest>

using qt::ComboBox;

class ComboBoxTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void sortedListKeepsByteOrder();
    void sortingLaterOrdersThePresentItems();
    void addingAndDeletingKeepTheChoice();
    void programChangesNeverRunOnChange();
    void userChoiceRunsOnChange();
    void dropDownRunsBeforeTheListOpens();
    void typingIntoEditableBoxRunsOnChangeAndAddsNoItem();

private:
    QStringList texts() const;
    void showBox();

    std::unique_ptr<ComboBox> m_box;
    int m_changes = 0;
};

void ComboBoxTest::init()
{
    m_box = std::make_unique<ComboBox>();
    m_changes = 0;
    m_box->onChange = [this] { ++m_changes; };
}

void ComboBoxTest::cleanup()
{
    m_box->hidePopup();
    m_box.reset();
}

QStringList ComboBoxTest::texts() const
{
    QStringList list;
    for (int i = 0; i < m_box->count(); ++i)
        list.append(m_box->itemText(i));
    return list;
}

void ComboBoxTest::showBox()
{
    m_box->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_box.get()));
    m_box->activateWindow();
    m_box->setFocus();
}

void ComboBoxTest::sortedListKeepsByteOrder()
{
    m_box->setSorted(true);
    QCOMPARE(m_box->addText("COM3"), 0);
    QCOMPARE(m_box->addText("COM1"), 0);
    QCOMPARE(m_box->addText("COM2"), 1);
    QCOMPARE(m_box->addText("COM10"), 1);
    m_box->addText("COM16");
    QCOMPARE(texts(), (QStringList{"COM1", "COM10", "COM16", "COM2", "COM3"}));

    // Byte order of the Windows-1252 text, not of UTF-16 nor case-blind: the euro sign
    // (byte 0x80) comes before e-acute (0xE9), upper case before lower case.
    m_box->clear();
    for (const char16_t *text : {u"\u00E9", u"a", u"\u20AC", u"B", u"z"})
        m_box->addText(QString::fromUtf16(text));
    QCOMPARE(texts(), (QStringList{"B", "a", "z", QString(QChar(0x20AC)), QString(QChar(0xE9))}));
    QCOMPARE(m_changes, 0);
}

void ComboBoxTest::sortingLaterOrdersThePresentItems()
{
    m_box->addItems({"COM3", "COM10", "COM2"});
    m_box->setItemIndex(2);
    m_box->setSorted(true);
    QCOMPARE(texts(), (QStringList{"COM10", "COM2", "COM3"}));
    QCOMPARE(m_box->currentText(), QString("COM2"));
    QCOMPARE(m_changes, 0);
}

void ComboBoxTest::addingAndDeletingKeepTheChoice()
{
    m_box->setSorted(true);
    m_box->addText("COM3");
    m_box->addText("COM1");
    QCOMPARE(m_box->itemIndex(), -1);
    QCOMPARE(m_box->currentText(), QString());

    m_box->setItemIndex(1); // COM3
    m_box->addText("COM2");
    QCOMPARE(m_box->currentText(), QString("COM3"));
    m_box->deleteItem(0);
    QCOMPARE(m_box->currentText(), QString("COM3"));
    m_box->deleteItem(m_box->itemIndex());
    QCOMPARE(m_box->itemIndex(), -1);
    QCOMPARE(m_box->currentText(), QString());
    QCOMPARE(texts(), QStringList{"COM2"});
    QCOMPARE(m_changes, 0);
}

void ComboBoxTest::programChangesNeverRunOnChange()
{
    m_box->addItems({"1200", "2400", "4800", "9600", "19200"});
    m_box->setItemIndex(3);
    QCOMPARE(m_box->itemIndex(), 3);
    m_box->setItemIndex(-1);
    QCOMPARE(m_box->itemIndex(), -1);
    m_box->setCurrentIndex(1);
    m_box->removeItem(1);
    m_box->setEditable(true);
    m_box->setItemIndex(3);
    QCOMPARE(m_box->currentText(), QString("19200"));
    m_box->setEditText("abc");
    QCOMPARE(m_changes, 0);
}

void ComboBoxTest::userChoiceRunsOnChange()
{
    m_box->addText("COM1");
    m_box->addText("COM3");
    showBox();
    QTest::keyClick(m_box.get(), Qt::Key_Down);
    QCOMPARE(m_box->itemIndex(), 0);
    QCOMPARE(m_changes, 1);
    QTest::keyClick(m_box.get(), Qt::Key_Down);
    QCOMPARE(m_box->itemIndex(), 1);
    QCOMPARE(m_changes, 2);
}

void ComboBoxTest::dropDownRunsBeforeTheListOpens()
{
    m_box->setSorted(true);
    int dropDowns = 0;
    bool listWasOpen = true;
    m_box->onDropDown = [&] {
        ++dropDowns;
        listWasOpen = m_box->view()->isVisible();
        m_box->addText(dropDowns == 1 ? "COM3" : "COM1");
    };
    showBox();
    QTest::keyClick(m_box.get(), Qt::Key_F4);
    QCOMPARE(dropDowns, 1);
    QVERIFY(!listWasOpen);
    QTRY_VERIFY(m_box->view()->isVisible());
    QCOMPARE(m_box->view()->model()->rowCount(), 1);
    m_box->hidePopup();

    m_box->showPopup();
    QCOMPARE(dropDowns, 2);
    QCOMPARE(texts(), (QStringList{"COM1", "COM3"}));
    QCOMPARE(m_changes, 0);
}

void ComboBoxTest::typingIntoEditableBoxRunsOnChangeAndAddsNoItem()
{
    m_box->addItems({"1200", "2400", "4800", "9600", "19200"});
    m_box->setEditable(true);
    m_box->setItemIndex(3);
    showBox();
    m_box->lineEdit()->selectAll();
    QTest::keyClicks(m_box.get(), "38400");
    QCOMPARE(m_box->currentText(), QString("38400"));
    QCOMPARE(m_changes, 5);
    QTest::keyClick(m_box.get(), Qt::Key_Return);
    QCOMPARE(m_box->count(), 5);
    QCOMPARE(m_box->currentText(), QString("38400"));
}

QTEST_MAIN(ComboBoxTest)
#include "ComboBox_test.moc"
