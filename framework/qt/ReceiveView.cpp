#include "framework/qt/ReceiveView.h"
#include "framework/core/AnsiText.h"

#include "framework/core/HandlerGuard.h"
#include "framework/qt/Ansi.h"
#include "framework/qt/DialogFont.h"
#include "framework/qt/SaveFile.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QFontInfo>
#include <QGlyphRun>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

constexpr int HorizontalMargin = 3;
constexpr int VerticalMargin = 1;

QChar cellCharacter(char byte)
{
    const auto b = static_cast<unsigned char>(byte);
    if (ansiUnprintable(b))
        return QLatin1Char(' ');
    // A soft hyphen is drawn as the hyphen the code page's fonts show for it; Qt would draw
    // nothing in its cell.
    if (b == 0xAD)
        return QLatin1Char('-');
    return fromAnsiChar(byte);
}

} // namespace

ReceiveView::ReceiveView(QWidget *parent) : QFrame(parent)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    setCursor(Qt::IBeamCursor);
    m_repaintTimer.setSingleShot(true);
    m_repaintTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_repaintTimer, &QTimer::timeout, this, [this] {
        m_pacing.timerStopped();
        requestRepaint();
    });
    relayout();
}

void ReceiveView::append(std::string_view text)
{
    if (text.empty())
        return;
    // A hidden box gets its resize event only when shown; wrap at the width it has now.
    if (textArea().width() != m_layoutWidth || visibleRows() != m_model.visibleRows())
        relayout();
    m_capture.shown(text);
    const std::uint64_t at = m_model.text().size();
    const std::uint64_t rows = m_model.append(text);
    // Readers hear what arrived, not the whole text again; nothing is made when none listens.
    if (QAccessible::isActive()) {
        QAccessibleTextInsertEvent event(this,
                                         static_cast<int>(std::min<std::uint64_t>(at, INT_MAX)),
                                         fromAnsi(std::string(text)));
        QAccessible::updateAccessibility(&event);
    }
    const ReceivePacing::Step step = m_pacing.arrived(text.size(), rows, visibleRows());
    if (step.paint) {
        m_repaintTimer.stop();
        requestRepaint();
    } else if (step.timerMs > 0) {
        m_repaintTimer.start(step.timerMs);
    }
}

void ReceiveView::clear()
{
    m_model.clear();
    update();
    emit cleared();
}

void ReceiveView::removeEnd(std::uint64_t count)
{
    m_model.removeEnd(count);
    requestRepaint();
}

std::uint64_t ReceiveView::replaceFront(std::uint64_t count, std::string_view prefix)
{
    const std::uint64_t dropped = m_model.replaceFront(count, prefix);
    requestRepaint();
    return dropped;
}

void ReceiveView::choose(int choice, int item)
{
    if (choice >= 0 && m_model.choose(static_cast<std::size_t>(choice), item))
        emit chosen(choice, item);
}

void ReceiveView::save(const QString &path, SaveForm form)
{
    std::function<std::string()> received;
    if (form == SaveForm::Received && m_receivedSource)
        received = m_receivedSource();
    m_saves.start(
        toAnsi(path), [path] { return openSaveFile(path); },
        m_model.saveContent(form, std::move(received)));
}

void ReceiveView::saveAs()
{
    const auto [path, received] = askFile(tr("Save As"), "SaveReceivedDialog");
    if (!path.isEmpty())
        save(path, received ? SaveForm::Received : SaveForm::Text);
}

void ReceiveView::startCapture(const QString &path, bool received)
{
    m_capture.start(
        toAnsi(path), received ? ReceiveCapture::Form::Received : ReceiveCapture::Form::Text,
        [path] { return openCaptureFile(path); }, [this] { emit captureChanged(); });
    emit captureChanged();
}

void ReceiveView::stopCapture()
{
    m_capture.stop();
    emit captureChanged();
}

void ReceiveView::captureAs()
{
    const auto [path, received] = askFile(tr("Capture to file"), "CaptureReceivedDialog");
    if (!path.isEmpty())
        startCapture(path, received);
}

std::pair<QString, bool> ReceiveView::askFile(const QString &title, const char *dialogName)
{
    const QString textFilter = tr("Text as shown (*.txt)");
    const QString bytesFilter = tr("Bytes as received (*.bin)");
    QFileDialog dialog(window(), title);
    dialog.setObjectName(QString::fromLatin1(dialogName));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({textFilter, bytesFilter});
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString &filter) {
        dialog.setDefaultSuffix(filter == bytesFilter ? QStringLiteral("bin")
                                                      : QStringLiteral("txt"));
    });
    useDialogFont(dialog, "QFileDialog");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return {dialog.selectedFiles().constFirst(), dialog.selectedNameFilter() == bytesFilter};
}

void ReceiveView::select(std::uint64_t anchor, std::uint64_t cursor)
{
    m_model.select(anchor, cursor);
    update();
}

QRect ReceiveView::characterCell(std::uint64_t offset) const
{
    const WrappedText &text = m_model.text();
    const std::uint64_t top = m_model.topRow();
    const std::uint64_t row = text.rowOf(offset);
    if (row < top || row >= top + static_cast<std::uint64_t>(visibleRows()))
        return {};
    const QRect area = textArea();
    const auto column = static_cast<qreal>(std::min(offset, text.size()) - text.rowStart(row));
    return QRect(area.left() + static_cast<int>(column * m_cellWidth),
                 area.top() + static_cast<int>(row - top) * m_rowHeight,
                 std::max(1, static_cast<int>(m_cellWidth)), m_rowHeight);
}

QString ReceiveView::toPlainText() const
{
    return fromAnsi(text());
}

QString ReceiveView::rowText(std::uint64_t row) const
{
    const WrappedText &text = m_model.text();
    if (row >= text.rowCount())
        return {};
    return fromAnsi(text.slice(text.rowStart(row), text.rowEnd(row)));
}

int ReceiveView::visibleRows() const
{
    return std::max(1, textArea().height() / m_rowHeight);
}

void ReceiveView::scrollToRow(std::uint64_t row)
{
    scrolled(m_model.scrollToRow(row));
}

void ReceiveView::scrolled(bool moved)
{
    if (moved)
        update();
}

QString ReceiveView::selectedText() const
{
    return fromAnsi(m_model.selectedText());
}

void ReceiveView::selectAll()
{
    m_model.selectAll();
    update();
}

void ReceiveView::copy() const
{
    if (hasSelection())
        QApplication::clipboard()->setText(selectedText());
}

QSize ReceiveView::sizeHint() const
{
    return {256, 128};
}

QRect ReceiveView::textArea() const
{
    return contentsRect().adjusted(HorizontalMargin, VerticalMargin, -HorizontalMargin,
                                   -VerticalMargin);
}

void ReceiveView::relayout()
{
    const QFontMetricsF metrics(font());
    // The advance over many cells, as a whole row is laid out when drawn, not one glyph's
    // rounded width.
    constexpr int Sample = 64;
    m_cellWidth = std::max<qreal>(1, metrics.horizontalAdvance(QString(Sample, 'M')) / Sample);
    m_rowHeight = std::max(1, static_cast<int>(std::ceil(metrics.lineSpacing())));
    m_ascent = static_cast<int>(std::ceil(metrics.ascent()));
    m_fixedPitch = QFontInfo(font()).fixedPitch();
    m_rawFont = QRawFont::fromFont(font());
    m_glyphs.fill(0);
    if (m_rawFont.isValid()) {
        QString cells(256, Qt::Uninitialized);
        for (int byte = 0; byte < 256; ++byte)
            cells[byte] = cellCharacter(static_cast<char>(byte));
        const QList<quint32> glyphs = m_rawFont.glyphIndexesForString(cells);
        if (glyphs.size() == 256)
            std::copy(glyphs.begin(), glyphs.end(), m_glyphs.begin());
    }
    m_layoutWidth = textArea().width();
    m_model.setView(static_cast<int>(std::floor(m_layoutWidth / m_cellWidth)), visibleRows());
    update();
}

void ReceiveView::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    relayout();
}

void ReceiveView::changeEvent(QEvent *event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        relayout();
}

void ReceiveView::requestRepaint()
{
    m_pacing.paintRequested();
    // New text changes only the inside: the frame stays as it is.
    update(contentsRect());
}

void ReceiveView::paintEvent(QPaintEvent *event)
{
    if (!contentsRect().contains(event->rect()))
        QFrame::paintEvent(event);
    m_pacing.painted();
    QPainter painter(this);
    painter.setClipRect(contentsRect());
    painter.setFont(font());
    const QRect area = textArea();
    const std::uint64_t rows = m_model.text().rowCount();
    const std::uint64_t first = m_model.topRow();
    for (std::uint64_t row = first; row < rows; ++row) {
        const qreal top = area.top() + static_cast<qreal>(row - first) * m_rowHeight;
        if (top >= contentsRect().bottom())
            break;
        paintRow(painter, row, top);
    }
}

void ReceiveView::paintRow(QPainter &painter, std::uint64_t row, qreal top)
{
    const WrappedText &text = m_model.text();
    const std::uint64_t start = text.rowStart(row);
    const std::string bytes = text.slice(start, text.rowEnd(row));
    const qreal left = textArea().left();
    const qreal baseline = top + m_ascent;
    for (const ReceiveModel::Run &run : m_model.rowRuns(row)) {
        if (run.from >= run.to)
            continue;
        const auto first = static_cast<std::size_t>(run.from - start);
        const auto count = static_cast<std::size_t>(run.to - run.from);
        const qreal x = left + static_cast<qreal>(first) * m_cellWidth;
        if (run.selected) {
            painter.fillRect(QRectF(x, top, static_cast<qreal>(count) * m_cellWidth, m_rowHeight),
                             palette().brush(QPalette::Highlight));
        }
        painter.setPen(palette().color(run.selected ? QPalette::HighlightedText : QPalette::Text));
        const char *cells = bytes.data() + first;
        if (!paintCells(painter, cells, count, QPointF(x, baseline)))
            paintCellsAsText(painter, cells, count, QPointF(x, baseline));
        for (std::size_t i = 0; i < count; ++i) {
            if (ansiUnprintable(static_cast<unsigned char>(bytes[first + i]))) {
                const qreal cellLeft = x + static_cast<qreal>(i) * m_cellWidth;
                painter.drawRect(QRectF(cellLeft + m_cellWidth * 0.2, baseline - m_ascent * 0.7,
                                        m_cellWidth * 0.6, m_ascent * 0.7));
            }
        }
    }
}

bool ReceiveView::paintCells(QPainter &painter, const char *bytes, std::size_t count,
                             QPointF origin)
{
    // Every cell its glyph at its place: laying the row out as text again (shaping) would
    // cost most of a frame's drawing, and a cell's glyph never depends on its neighbours.
    QList<quint32> glyphs(static_cast<qsizetype>(count));
    QList<QPointF> positions(static_cast<qsizetype>(count));
    for (std::size_t i = 0; i < count; ++i) {
        const quint32 glyph = m_glyphs[static_cast<unsigned char>(bytes[i])];
        if (glyph == 0)
            return false;
        glyphs[static_cast<qsizetype>(i)] = glyph;
        positions[static_cast<qsizetype>(i)] = QPointF(static_cast<qreal>(i) * m_cellWidth, 0);
    }
    QGlyphRun run;
    run.setRawFont(m_rawFont);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    run.setUnderline(font().underline());
    run.setStrikeOut(font().strikeOut());
    run.setOverline(font().overline());
    painter.drawGlyphRun(origin, run);
    return true;
}

void ReceiveView::paintCellsAsText(QPainter &painter, const char *bytes, std::size_t count,
                                   QPointF origin)
{
    QString cells(static_cast<qsizetype>(count), Qt::Uninitialized);
    for (std::size_t i = 0; i < count; ++i)
        cells[static_cast<qsizetype>(i)] = cellCharacter(bytes[i]);
    if (m_fixedPitch) {
        painter.drawText(origin, cells);
        return;
    }
    for (std::size_t i = 0; i < count; ++i)
        painter.drawText(origin + QPointF(static_cast<qreal>(i) * m_cellWidth, 0),
                         QString(cells[static_cast<qsizetype>(i)]));
}

void ReceiveView::wheelEvent(QWheelEvent *event)
{
    scrolled(m_model.wheel(event->angleDelta().y(), QWheelEvent::DefaultDeltasPerStep,
                           QApplication::wheelScrollLines()));
    event->accept();
}

void ReceiveView::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        copy();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        return;
    }
    using Scroll = ReceiveModel::Scroll;
    static const std::pair<int, Scroll> keys[] = {
        {Qt::Key_Up, Scroll::LineUp},     {Qt::Key_Down, Scroll::LineDown},
        {Qt::Key_PageUp, Scroll::PageUp}, {Qt::Key_PageDown, Scroll::PageDown},
        {Qt::Key_Home, Scroll::Top},      {Qt::Key_End, Scroll::Bottom}};
    const auto key = std::find_if(std::begin(keys), std::end(keys),
                                  [&](const auto &entry) { return entry.first == event->key(); });
    if (key == std::end(keys)) {
        QFrame::keyPressEvent(event);
        return;
    }
    scrolled(m_model.scroll(key->second));
    event->accept();
}

std::uint64_t ReceiveView::offsetAt(QPoint point) const
{
    const QRect area = textArea();
    const int y = point.y() - area.top();
    const qreal cells = std::round((point.x() - area.left()) / m_cellWidth);
    return m_model.offsetAt(y > 0 ? y / m_rowHeight : 0,
                            cells <= 0 ? 0 : static_cast<std::int64_t>(cells));
}

void ReceiveView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QFrame::mousePressEvent(event);
        return;
    }
    m_model.startSelecting(offsetAt(event->position().toPoint()));
    update();
}

void ReceiveView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_model.selecting())
        return;
    const QPoint point = event->position().toPoint();
    // Dragging past the top or bottom edge scrolls, so a selection can reach any row.
    if (point.y() < textArea().top())
        scrolled(m_model.scrollBy(-1));
    else if (point.y() >= textArea().bottom())
        scrolled(m_model.scrollBy(1));
    m_model.moveSelectionEnd(offsetAt(point));
    update();
}

void ReceiveView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_model.stopSelecting();
    QFrame::mouseReleaseEvent(event);
}

void ReceiveView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("ReceiveMenu"));
    for (const ReceiveModel::MenuItem &item :
         m_model.menu(m_saves.running(), m_capture.running())) {
        if (item.separatorBefore)
            menu.addSeparator();
        menu.addAction(fromAnsi(item.text), this,
                       [this, command = item.command] { runGuarded([&] { run(command); }); })
            ->setEnabled(item.enabled);
    }
    const std::vector<MenuChoice> &choices = m_model.choices();
    if (!choices.empty())
        menu.addSeparator();
    for (std::size_t c = 0; c < choices.size(); ++c) {
        QMenu *sub = menu.addMenu(fromAnsi(choices[c].title));
        for (std::size_t i = 0; i < choices[c].items.size(); ++i) {
            QAction *action = sub->addAction(fromAnsi(choices[c].items[i]), this, [this, c, i] {
                runGuarded([&] { choose(static_cast<int>(c), static_cast<int>(i)); });
            });
            action->setCheckable(true);
            action->setChecked(static_cast<int>(i) == choices[c].chosen);
        }
    }
    menu.exec(event->globalPos());
}

void ReceiveView::run(ReceiveModel::Command command)
{
    switch (command) {
    case ReceiveModel::Command::Copy:
        copy();
        break;
    case ReceiveModel::Command::SelectAll:
        selectAll();
        break;
    case ReceiveModel::Command::SaveAs:
        saveAs();
        break;
    case ReceiveModel::Command::Clear:
        clear();
        break;
    case ReceiveModel::Command::Capture:
        if (m_capture.running())
            stopCapture();
        else
            captureAs();
        break;
    case ReceiveModel::Command::ResetCounters:
        emit resetCountersChosen();
        break;
    }
}
