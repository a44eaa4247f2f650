#include "framework/qt/RadioGroup.h"

#include <QRadioButton>
#include <QtTest>

using qt::RadioGroup;

class RadioGroupTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void startsWithNothingChosen();
    void settingItemIndexChoosesExactlyOneOrNone();
    void settingItemIndexClampsToTheItems();
    void onClickRunsOnlyWhenTheUserChoosesAnotherItem();
    void arrowKeysChooseTheNextItem();
    void tabEntersAtTheChosenItem();
    void itemsAreSpreadDownTheClientArea();

private:
    int checkedCount() const;

    std::unique_ptr<QWidget> m_window;
    RadioGroup *m_group = nullptr;
    int m_clicks = 0;
};

void RadioGroupTest::init()
{
    m_window = std::make_unique<QWidget>();
    m_window->resize(300, 200);
    m_group = new RadioGroup(m_window.get());
    m_group->setTitle("User RS232 Baudrate");
    m_group->setItems({"1200 BPS", "2400 BPS", "4800 BPS", "9600 BPS", "19200 BPS"});
    m_group->setGeometry(0, 0, 249, 153);
    m_clicks = 0;
    m_group->onClick = [this] { ++m_clicks; };
}

int RadioGroupTest::checkedCount() const
{
    int count = 0;
    for (int i = 0; i < m_group->count(); ++i)
        count += m_group->button(i)->isChecked() ? 1 : 0;
    return count;
}

void RadioGroupTest::startsWithNothingChosen()
{
    QCOMPARE(m_group->count(), 5);
    QCOMPARE(m_group->items().at(4), QString("19200 BPS"));
    QCOMPARE(m_group->itemIndex(), -1);
    QCOMPARE(checkedCount(), 0);
}

void RadioGroupTest::settingItemIndexChoosesExactlyOneOrNone()
{
    m_group->setItemIndex(3);
    QCOMPARE(m_group->itemIndex(), 3);
    QVERIFY(m_group->button(3)->isChecked());
    QCOMPARE(checkedCount(), 1);

    m_group->setItemIndex(0);
    QVERIFY(m_group->button(0)->isChecked());
    QCOMPARE(checkedCount(), 1);

    m_group->setItemIndex(-1);
    QCOMPARE(m_group->itemIndex(), -1);
    QCOMPARE(checkedCount(), 0);
    // The buttons are still exclusive once something is chosen again.
    m_group->setItemIndex(2);
    m_group->setItemIndex(4);
    QCOMPARE(checkedCount(), 1);
    QCOMPARE(m_clicks, 0);
}

void RadioGroupTest::settingItemIndexClampsToTheItems()
{
    m_group->setItemIndex(9);
    QCOMPARE(m_group->itemIndex(), 4);
    m_group->setItemIndex(-7);
    QCOMPARE(m_group->itemIndex(), -1);
    QCOMPARE(checkedCount(), 0);

    m_group->setItemIndex(2);
    m_group->setItems({"a", "b"});
    QCOMPARE(m_group->itemIndex(), -1);
    QCOMPARE(checkedCount(), 0);
}

void RadioGroupTest::onClickRunsOnlyWhenTheUserChoosesAnotherItem()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QRadioButton *second = m_group->button(1);
    QTest::mouseClick(second, Qt::LeftButton, {}, QPoint(8, second->height() / 2));
    QCOMPARE(m_group->itemIndex(), 1);
    QCOMPARE(m_clicks, 1);
    // The chosen item again: nothing changes.
    QTest::mouseClick(second, Qt::LeftButton, {}, QPoint(8, second->height() / 2));
    QCOMPARE(m_clicks, 1);
    QRadioButton *last = m_group->button(4);
    QTest::mouseClick(last, Qt::LeftButton, {}, QPoint(8, last->height() / 2));
    QCOMPARE(m_group->itemIndex(), 4);
    QCOMPARE(m_clicks, 2);
    QCOMPARE(checkedCount(), 1);
}

void RadioGroupTest::arrowKeysChooseTheNextItem()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_group->setItemIndex(1);
    m_group->button(1)->setFocus();
    QTest::keyClick(m_group->button(1), Qt::Key_Down);
    QCOMPARE(m_group->itemIndex(), 2);
    QCOMPARE(m_clicks, 1);
}

void RadioGroupTest::tabEntersAtTheChosenItem()
{
    // Only one item is a tab stop: the chosen one, or the first while none is chosen.
    auto tabStops = [this] {
        QList<int> stops;
        for (int i = 0; i < m_group->count(); ++i) {
            if (m_group->button(i)->focusPolicy() & Qt::TabFocus)
                stops.append(i);
        }
        return stops;
    };
    QCOMPARE(tabStops(), QList<int>{0});
    m_group->setItemIndex(3);
    QCOMPARE(tabStops(), QList<int>{3});
    m_group->setItemIndex(-1);
    QCOMPARE(tabStops(), QList<int>{0});
    QCOMPARE(m_group->focusProxy(), m_group->button(0));
}

void RadioGroupTest::itemsAreSpreadDownTheClientArea()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    // Caption height, then equal rows; all items inside the box, in order, none overlapping.
    const int textHeight = m_group->fontMetrics().height();
    int previousBottom = textHeight;
    for (int i = 0; i < m_group->count(); ++i) {
        const QRect place = m_group->button(i)->geometry();
        QCOMPARE(place.left(), 8);
        QCOMPARE(place.height(), (153 - textHeight - 5) / 5);
        QVERIFY(place.top() >= previousBottom);
        QVERIFY(place.bottom() < 153);
        previousBottom = place.bottom();
    }
    m_group->resize(249, 80);
    QVERIFY(m_group->button(4)->geometry().bottom() < 80);
}

QTEST_MAIN(RadioGroupTest)
#include "RadioGroup_test.moc"
