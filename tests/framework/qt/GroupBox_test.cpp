#include "framework/qt/GroupBox.h"

#include <QtTest>

class GroupBoxTest : public QObject
{
    Q_OBJECT

private slots:
    void captionStandsOnTheFramesTopLine();
};

void GroupBoxTest::captionStandsOnTheFramesTopLine()
{
    GroupBox box;
    QFont font("Courier New");
    font.setPixelSize(16);
    font.setBold(true);
    box.setFont(font);
    box.setTitle("Setup Communication Port");
    box.resize(345, 121);
    const QImage image = box.grab().toImage();
    const QRgb line = box.palette().color(QPalette::Mid).rgb();
    const QRect caption = box.captionRect();
    const int top = box.frameTop();
    QVERIFY(top > 0 && top < caption.bottom());

    const auto frameIn = [&](int y, int from, int to) {
        int count = 0;
        for (int x = from; x <= to; ++x)
            count += image.pixel(x, y) == line ? 1 : 0;
        return count;
    };
    const auto inkIn = [&](int fromY, int toY) {
        int count = 0;
        for (int y = fromY; y <= toY; ++y)
            for (int x = caption.left(); x <= caption.right(); ++x)
                count += qGray(image.pixel(x, y)) < 100 ? 1 : 0;
        return count;
    };
    // The top line runs on both sides of the caption and is broken where it stands.
    QCOMPARE(frameIn(top, 0, caption.left() - 1), caption.left());
    QCOMPARE(frameIn(top, caption.right() + 1, box.width() - 4), box.width() - 4 - caption.right());
    QCOMPARE(frameIn(top, caption.left(), caption.right()), 0);
    // Nothing of the frame above its top line; the caption's letters reach across it.
    for (int y = 0; y < top; ++y) {
        QCOMPARE(frameIn(y, 0, caption.left() - 1), 0);
        QCOMPARE(frameIn(y, caption.right() + 1, box.width() - 1), 0);
    }
    QVERIFY(inkIn(0, top - 1) > 0);
    QVERIFY(inkIn(top + 1, caption.bottom()) > 0);
    QCOMPARE(frameIn(box.height() - 2, 0, box.width() - 1), box.width() - 2);
}

QTEST_MAIN(GroupBoxTest)
#include "GroupBox_test.moc"
