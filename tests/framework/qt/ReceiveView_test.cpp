#include "framework/qt/ReceiveView.h"

#include "tests/support/ReportSink.h"

#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFontMetricsF>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

#include <future>

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
    void contextMenuActsOnTheBox();
    void savesTheTextOrTheReceivedBytesOffTheUiThread();
    void aSaveThatFailsIsReportedAndLeavesNoFile();

private:
    // Opens the box's context menu, notes what it offers ("Copy" or "-Copy" when disabled)
    // and chooses the item (nothing for an empty text); then, once the item's action runs,
    // whatever comes next (a dialog it opens).
    QStringList chooseFromMenu(const QString &item, const std::function<void()> &next = {});
    QByteArray savedFile(const QString &path);

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
    // At most one paint per frame, however often text arrives: 16 ms for a key at a time, and
    // 80 ms while every piece is ten boxes full (no frame could be read).
    const std::string flood = numbered(m_view->visibleRows() * 10, m_view->wrapped().columns());
    for (const auto &[piece, frameMs] : {std::pair{std::string("x"), 16}, {flood, 80}}) {
        const auto stream = [&, &piece = piece](qint64 ms) {
            QElapsedTimer clock;
            for (clock.start(); clock.elapsed() < ms; QTest::qSleep(frameMs / 16)) {
                m_view->append(piece);
                QCoreApplication::processEvents();
            }
            return clock.elapsed();
        };
        stream(500); // the stream's rate is known by now
        PaintCounter counter;
        m_view->installEventFilter(&counter);
        const qint64 elapsed = stream(frameMs == 16 ? 300 : 800);
        QTRY_VERIFY(counter.paints > 0);
        QVERIFY2(counter.paints <= elapsed / frameMs + 3,
                 qPrintable(QString("%1 paints in %2 ms").arg(counter.paints).arg(elapsed)));
        m_view->removeEventFilter(&counter);
    }
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

QStringList ReceiveViewTest::chooseFromMenu(const QString &item, const std::function<void()> &next)
{
    QStringList offers;
    QTimer::singleShot(0, this, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QAction *chosen = nullptr;
        for (QAction *action : menu->actions()) {
            if (action->isSeparator())
                continue;
            const QString text = action->text().remove('&');
            offers.append((action->isEnabled() ? "" : "-") + text);
            if (text == item)
                chosen = action;
        }
        menu->close();
        if (next)
            QTimer::singleShot(0, this, next);
        if (chosen)
            chosen->trigger();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                            m_view->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(m_view.get(), &event);
    return offers;
}

QByteArray ReceiveViewTest::savedFile(const QString &path)
{
    // Generous: waiting for the thread to finish, not timing it (50 MiB on a busy machine).
    [&] { QTRY_COMPARE_WITH_TIMEOUT(m_view->savesRunning(), 0, 120000); }();
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(no file)");
}

void ReceiveViewTest::contextMenuActsOnTheBox()
{
    QSignalSpy cleared(m_view.get(), &ReceiveView::cleared);
    QCOMPARE(chooseFromMenu(""), QStringList({"-Copy", "-Select All", "-Save As…", "-Clear",
                                              "Capture to file…", "Reset counters"}));
    m_view->append("0123456789 selected text");
    m_view->select(11, 19);
    QCOMPARE(chooseFromMenu("Copy"), QStringList({"Copy", "Select All", "Save As…", "Clear",
                                                  "Capture to file…", "Reset counters"}));
    QCOMPARE(QApplication::clipboard()->text(), QString("selected"));
    QCOMPARE(chooseFromMenu("Select All").first(), QString("Copy"));
    QCOMPARE(m_view->selectedText(), m_view->toPlainText());
    QCOMPARE(chooseFromMenu("Clear").size(), 6);
    QCOMPARE(m_view->text(), std::string());
    QCOMPARE(cleared.count(), 1);
    QTemporaryDir dir;
    m_view->startCapture(dir.filePath("capture.txt"), false);
    QCOMPARE(chooseFromMenu("Stop capture").at(4), QString("Stop capture"));
    QCOMPARE(m_view->captureName(), std::string());
}

void ReceiveViewTest::savesTheTextOrTheReceivedBytesOffTheUiThread()
{
    QTemporaryDir dir;
    m_view->append("caf\xE9 \x80 <0x0D>");
    // The bytes behind the text come from a source that waits until the test lets it go:
    // the save has returned, and the window goes on, while they are being made.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    m_view->setReceivedSource([released] {
        return [released] {
            released.wait_for(std::chrono::seconds(10));
            return std::string("caf\xE9 \x80 \r", 8);
        };
    });
    const QString bytesPath = dir.filePath("received.bin");
    m_view->save(bytesPath, ReceiveView::SaveForm::Received);
    QCOMPARE(m_view->savesRunning(), 1);
    QVERIFY(!QFile::exists(bytesPath));
    QCOMPARE(chooseFromMenu("").at(2), QString("-Save As…"));
    release.set_value();
    QCOMPARE(savedFile(bytesPath), QByteArray("caf\xE9 \x80 \r", 8));

    // The text as shown, in the desktop's encoding.
    const QString textPath = dir.filePath("shown.txt");
    m_view->save(textPath, ReceiveView::SaveForm::Text);
    QCOMPARE(savedFile(textPath), QString("café € <0x0D>").toUtf8());

    // Through the menu and its dialog, the second file type; a large text, whole.
    std::string large(50u << 20, 'x');
    for (std::size_t i = 0; i < large.size(); i += 4099)
        large[i] = static_cast<char>(0xC0 + i % 64);
    m_view->clear();
    m_view->append(large);
    m_view->setReceivedSource({});
    const QString largePath = dir.filePath("large");
    chooseFromMenu("Save As…", [&] {
        QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<QFileDialog *>(QApplication::activeModalWidget()),
                                 60000);
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        // The user picks the second file type from the dialog's list and types a name.
        auto *types = dialog->findChild<QComboBox *>("fileTypeCombo");
        QVERIFY(types);
        QCOMPARE(types->count(), 2);
        QTest::keyClick(types, Qt::Key_Down);
        dialog->selectFile(largePath);
        static_cast<QDialog *>(dialog)->accept();
    });
    QVERIFY(savedFile(largePath + ".bin") == QByteArray::fromStdString(large));
}

void ReceiveViewTest::aSaveThatFailsIsReportedAndLeavesNoFile()
{
    ReportSink sink;
    m_view->append("text");
    // Under a file, where no one (not even root) can create anything.
    const QString path = QCoreApplication::applicationFilePath() + "/inside.txt";
    m_view->save(path, ReceiveView::SaveForm::Text);
    QTRY_COMPARE_WITH_TIMEOUT(sink.messages().size(), 1u, 60000);
    QVERIFY2(
        QString::fromStdString(sink.messages()[0]).startsWith("Cannot save \"" + path + "\": "),
        sink.messages()[0].c_str());
    QVERIFY(!sink.advice()[0].empty());
    QVERIFY(!QFile::exists(path));
}

QTEST_MAIN(ReceiveViewTest)
#include "ReceiveView_test.moc"
