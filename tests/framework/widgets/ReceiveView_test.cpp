#include "framework/widgets/ReceiveView.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QtTest>

class ReceiveViewTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void rowsFillTheBoxWidthInTheBoxFont();
    void repaintsAreBatchedWhileTextStreamsIn();
    void paintsTheNewestRowsWhileFollowing();
    void keysAndWheelScrollWithinTheText();
    void aNarrowerBoxRewrapsAndStillShowsTheEnd();
    void mouseSelectsAndCopies();

private:
    std::unique_ptr<ReceiveView> m_view;
};

namespace {

std::string numbered(int rows, int columns)
{
    std::string text;
    for (int row = 0; row < rows; ++row) {
        std::string line = std::to_string(row);
        line.resize(static_cast<std::size_t>(columns), '.');
        text += line;
    }
    return text;
}

class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

int inkIn(const QImage &image, QRect rect)
{
    int dark = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            dark += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
    return dark;
}

} // namespace

void ReceiveViewTest::init()
{
    m_view = std::make_unique<ReceiveView>();
    QFont font("Courier New");
    font.setPixelSize(16);
    font.setBold(true);
    m_view->setFont(font);
    m_view->resize(609, 121);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
}

void ReceiveViewTest::rowsFillTheBoxWidthInTheBoxFont()
{
    const qreal cell = QFontMetricsF(m_view->font()).horizontalAdvance(QString(64, 'M')) / 64;
    const int columns = m_view->wrapped().columns();
    // As many whole cells as the box holds inside its frame, and no more.
    QVERIFY(columns * cell <= m_view->contentsRect().width());
    QVERIFY((columns + 1) * cell > m_view->contentsRect().width() - 8);

    const std::string text = numbered(3, columns) + "tail";
    m_view->append(text);
    QCOMPARE(m_view->wrapped().rowCount(), 4u);
    QCOMPARE(m_view->rowText(3), QString("tail"));
    QCOMPARE(m_view->text(), text);
    // A box that is not shown yet wraps at the width it has been given.
    ReceiveView hidden;
    hidden.setFont(m_view->font());
    hidden.resize(m_view->size());
    hidden.append(text);
    QCOMPARE(hidden.wrapped().columns(), columns);

    m_view->clear();
    QCOMPARE(m_view->text(), std::string());
    QCOMPARE(m_view->wrapped().rowCount(), 1u);
}

void ReceiveViewTest::repaintsAreBatchedWhileTextStreamsIn()
{
    PaintCounter counter;
    m_view->installEventFilter(&counter);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 300; ++i) {
        m_view->append("x");
        QCoreApplication::processEvents();
        QTest::qSleep(1);
    }
    const qint64 elapsed = clock.elapsed();
    QTRY_VERIFY(counter.paints > 0);
    // At most one paint per frame (16 ms), however often text arrives.
    QVERIFY2(counter.paints <= elapsed / 16 + 3,
             qPrintable(QString("%1 paints in %2 ms").arg(counter.paints).arg(elapsed)));
}

void ReceiveViewTest::paintsTheNewestRowsWhileFollowing()
{
    const int columns = m_view->wrapped().columns();
    const QImage empty = m_view->grab().toImage();
    const QRect area = m_view->contentsRect().adjusted(3, 1, -3, -1);
    QCOMPARE(inkIn(empty, area), 0);

    // Many full rows and then one short row: the short row is the last one in view.
    m_view->append(std::string(static_cast<std::size_t>(columns) * 40, 'M') + "M");
    QTRY_VERIFY(inkIn(m_view->grab().toImage(), area) > 0);
    const QImage image = m_view->grab().toImage();
    const int rowHeight = qCeil(QFontMetricsF(m_view->font()).lineSpacing());
    const int lastTop = area.top() + (m_view->visibleRows() - 1) * rowHeight;
    const QRect lastRowFirstCell(area.left(), lastTop, rowHeight / 2, rowHeight);
    const QRect lastRowRest(area.left() + rowHeight, lastTop, area.width() - rowHeight, rowHeight);
    QVERIFY(inkIn(image, lastRowFirstCell) > 0);
    QCOMPARE(inkIn(image, lastRowRest), 0);
}

void ReceiveViewTest::keysAndWheelScrollWithinTheText()
{
    const int columns = m_view->wrapped().columns();
    m_view->append(numbered(50, columns));
    const int page = m_view->visibleRows();
    const std::uint64_t last = 50 - static_cast<std::uint64_t>(page);
    QCOMPARE(m_view->topRow(), last);

    QTest::keyClick(m_view.get(), Qt::Key_Up);
    QCOMPARE(m_view->topRow(), last - 1);
    QTest::keyClick(m_view.get(), Qt::Key_PageUp);
    QCOMPARE(m_view->topRow(), last - 1 - page);
    QTest::keyClick(m_view.get(), Qt::Key_Home);
    QCOMPARE(m_view->topRow(), 0u);
    QCOMPARE(m_view->rowText(0).left(2), QString("0."));
    QTest::keyClick(m_view.get(), Qt::Key_Up);
    QCOMPARE(m_view->topRow(), 0u);
    QTest::keyClick(m_view.get(), Qt::Key_PageDown);
    QCOMPARE(m_view->topRow(), static_cast<std::uint64_t>(page));

    // One wheel notch moves the usual number of lines; a half notch waits for the other half.
    const auto wheel = [this](int delta) {
        QWheelEvent event(QPointF(5, 5), m_view->mapToGlobal(QPointF(5, 5)), QPoint(),
                          QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(m_view.get(), &event);
    };
    const auto lines = static_cast<std::uint64_t>(QApplication::wheelScrollLines());
    wheel(-120);
    QCOMPARE(m_view->topRow(), page + lines);
    wheel(60);
    QCOMPARE(m_view->topRow(), page + lines);
    wheel(60);
    QCOMPARE(m_view->topRow(), static_cast<std::uint64_t>(page));
    for (int i = 0; i < 40; ++i)
        wheel(-120);
    QCOMPARE(m_view->topRow(), last);
    QVERIFY(m_view->atEnd());
}

void ReceiveViewTest::aNarrowerBoxRewrapsAndStillShowsTheEnd()
{
    const int columns = m_view->wrapped().columns();
    m_view->append(numbered(20, columns));
    m_view->resize(m_view->width() / 2, m_view->height());
    QTRY_VERIFY(m_view->wrapped().columns() < columns);
    QVERIFY(m_view->wrapped().rowCount() > 20);
    QVERIFY(m_view->atEnd());
}

void ReceiveViewTest::mouseSelectsAndCopies()
{
    m_view->append("0123456789 selected text follows");
    const qreal cell = QFontMetricsF(m_view->font()).horizontalAdvance(QString(64, 'M')) / 64;
    const QPoint origin = m_view->contentsRect().topLeft() + QPoint(3, 5);
    const auto at = [&](int column) { return origin + QPoint(qRound(column * cell), 0); };
    QTest::mousePress(m_view.get(), Qt::LeftButton, Qt::NoModifier, at(11));
    QTest::mouseMove(m_view.get(), at(19));
    QTest::mouseRelease(m_view.get(), Qt::LeftButton, Qt::NoModifier, at(19));
    QCOMPARE(m_view->selectedText(), QString("selected"));
    QTest::keyClick(m_view.get(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QString("selected"));

    QTest::keyClick(m_view.get(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(m_view->selectedText(), m_view->toPlainText());
    m_view->clear();
    QVERIFY(!m_view->hasSelection());
}

QTEST_MAIN(ReceiveViewTest)
#include "ReceiveView_test.moc"
