#include "framework/qt/RoundTripChart.h"

#include <QtTest>

class RoundTripChartTest : public QObject
{
    Q_OBJECT

private slots:
    void marksAtTheEdgesStayInsideThePlotFrame();
};

void RoundTripChartTest::marksAtTheEdgesStayInsideThePlotFrame()
{
    using Mark = qt::RoundTripChart::Mark;
    qt::RoundTripChart chart;
    chart.resize(320, 160);
    // At "now": a round trip at the top of the scale, one of 0 ms, and a lost packet.
    chart.setPoints({{40, 100}, {40, 0}, {40, 0, Mark::Lost}}, {10, 40, 30, 100});
    const QImage image = chart.grab().toImage();
    const QRgb frame = QColor(Qt::gray).rgb();
    const auto blue = [](QRgb p) { return qBlue(p) > 150 && qRed(p) < 80; };
    const auto red = [](QRgb p) { return qRed(p) > 150 && qBlue(p) < 80 && qGreen(p) < 80; };

    // The plot frame's right line and bottom line.
    int right = image.width() - 1;
    while (right > 0 && image.pixel(right, image.height() / 2) != frame)
        --right;
    int bottom = image.height() - 1;
    while (bottom > 0 && image.pixel(right - 20, bottom) != frame)
        --bottom;
    QVERIFY(right > image.width() / 2 && bottom > image.height() / 2);

    int inside = 0, lost = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (x >= right || y >= bottom) {
                QVERIFY2(!blue(p) && !red(p), qPrintable(QString("mark at %1,%2").arg(x).arg(y)));
            } else {
                inside += blue(p) ? 1 : 0;
                lost += red(p) ? 1 : 0;
            }
        }
    }
    QVERIFY(inside > 0 && lost > 0);
}

QTEST_MAIN(RoundTripChartTest)
#include "RoundTripChart_test.moc"
