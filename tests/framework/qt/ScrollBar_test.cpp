#include "framework/qt/ScrollBar.h"

#include <QtTest>

using qt::ScrollBar;

class ScrollBarTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void positionClampsToTheRange();
    void onChangeRunsOnlyOnARealChange();
    void onChangeRunsWhenANewRangeMovesThePosition();
    void userKeysMoveOneStep();

private:
    std::unique_ptr<ScrollBar> m_bar;
    QList<int> m_seen;
};

void ScrollBarTest::init()
{
    m_bar = std::make_unique<ScrollBar>();
    m_bar->setRange(0, 124);
    m_seen.clear();
    m_bar->onChange = [this] { m_seen.append(m_bar->position()); };
}

void ScrollBarTest::positionClampsToTheRange()
{
    QCOMPARE(m_bar->orientation(), Qt::Horizontal);
    m_bar->setPosition(-1);
    QCOMPARE(m_bar->position(), 0);
    m_bar->setPosition(500);
    QCOMPARE(m_bar->position(), 124);
    m_bar->setPosition(7);
    QCOMPARE(m_bar->position(), 7);
}

void ScrollBarTest::onChangeRunsOnlyOnARealChange()
{
    m_bar->setPosition(0);  // unchanged
    m_bar->setPosition(-1); // clamps to 0: unchanged
    QVERIFY(m_seen.isEmpty());

    m_bar->setPosition(7);
    m_bar->setPosition(7);
    m_bar->setPosition(-1);
    m_bar->setPosition(-1);
    QCOMPARE(m_seen, (QList<int>{7, 0}));
}

void ScrollBarTest::onChangeRunsWhenANewRangeMovesThePosition()
{
    m_bar->setPosition(100);
    m_bar->setRange(0, 50);
    QCOMPARE(m_seen, (QList<int>{100, 50}));
}

void ScrollBarTest::userKeysMoveOneStep()
{
    m_bar->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_bar.get()));
    QVERIFY(m_bar->focusPolicy() & Qt::TabFocus);
    QTest::keyClick(m_bar.get(), Qt::Key_Right);
    QTest::keyClick(m_bar.get(), Qt::Key_Right);
    QTest::keyClick(m_bar.get(), Qt::Key_Left);
    QTest::keyClick(m_bar.get(), Qt::Key_End);
    QTest::keyClick(m_bar.get(), Qt::Key_Down); // already at the end: no change
    QTest::keyClick(m_bar.get(), Qt::Key_Home);
    QCOMPARE(m_seen, (QList<int>{1, 2, 1, 124, 0}));
}

QTEST_MAIN(ScrollBarTest)
#include "ScrollBar_test.moc"
