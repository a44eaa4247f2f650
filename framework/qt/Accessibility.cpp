#include "framework/qt/Accessibility.h"

#include "framework/qt/Ansi.h"
#include "framework/qt/ComboBox.h"
#include "framework/qt/ReceiveView.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QLineEdit>

#include <algorithm>
#include <climits>

using qt::ComboBox;

namespace {

int toOffset(std::uint64_t offset)
{
    return static_cast<int>(std::min<std::uint64_t>(offset, INT_MAX));
}

} // namespace

// The receive box: read-only text of one character per byte. Everything is read from the box
// when asked, so a box holding megabytes costs nothing until a reader asks for its text.
class ReceiveViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit ReceiveViewAccessible(ReceiveView *view)
        : QAccessibleWidget(view, QAccessible::EditableText)
    {}

    ReceiveView *view() const { return static_cast<ReceiveView *>(widget()); }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        state.multiLine = true;
        state.selectableText = true;
        return state;
    }

    QString text(QAccessible::Text type) const override
    {
        if (type == QAccessible::Value)
            return view()->toPlainText();
        return QAccessibleWidget::text(type);
    }

    QString text(int startOffset, int endOffset) const override
    {
        if (startOffset < 0 || endOffset < startOffset)
            return {};
        return fromAnsi(view()->wrapped().slice(static_cast<std::uint64_t>(startOffset),
                                                static_cast<std::uint64_t>(endOffset)));
    }
    int characterCount() const override { return toOffset(view()->wrapped().size()); }

    int cursorPosition() const override { return toOffset(view()->cursorOffset()); }
    void setCursorPosition(int position) override { view()->select(position, position); }

    int selectionCount() const override { return view()->hasSelection() ? 1 : 0; }
    void selection(int index, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = 0;
        if (index != 0 || !view()->hasSelection())
            return;
        const auto [first, last] = view()->selectionRange();
        *startOffset = toOffset(first);
        *endOffset = toOffset(last);
    }
    void addSelection(int startOffset, int endOffset) override
    {
        view()->select(startOffset, endOffset);
    }
    void removeSelection(int index) override
    {
        if (index == 0)
            view()->select(view()->cursorOffset(), view()->cursorOffset());
    }
    void setSelection(int index, int startOffset, int endOffset) override
    {
        if (index == 0)
            view()->select(startOffset, endOffset);
    }

    QRect characterRect(int offset) const override
    {
        const QRect cell = view()->characterCell(static_cast<std::uint64_t>(std::max(offset, 0)));
        return cell.isNull() ? QRect() : QRect(view()->mapToGlobal(cell.topLeft()), cell.size());
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        const QPoint local = view()->mapFromGlobal(point);
        if (!view()->rect().contains(local))
            return -1;
        return toOffset(view()->offsetAt(local));
    }
    void scrollToSubstring(int startIndex, int) override
    {
        view()->scrollToRow(view()->wrapped().rowOf(static_cast<std::uint64_t>(startIndex)));
    }
    QString attributes(int offset, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = offset;
        return {};
    }
};

namespace {

// An editable drop-down is named by its label, as any other control; Qt names it by its text
// on this platform, which tells a reader the value twice and the purpose never.
class ComboBoxAccessible : public QAccessibleWidget
{
public:
    explicit ComboBoxAccessible(ComboBox *box) : QAccessibleWidget(box, QAccessible::ComboBox)
    {
        addControllingSignal(QStringLiteral("currentIndexChanged(int)"));
    }

    ComboBox *box() const { return static_cast<ComboBox *>(widget()); }

    QString text(QAccessible::Text type) const override
    {
        if (type == QAccessible::Value)
            return box()->currentText();
        return QAccessibleWidget::text(type);
    }

    int childCount() const override { return box()->isEditable() ? 2 : 1; }
    QAccessibleInterface *child(int index) const override
    {
        if (index == 0)
            return QAccessible::queryAccessibleInterface(box()->view());
        if (index == 1 && box()->isEditable())
            return QAccessible::queryAccessibleInterface(box()->lineEdit());
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (child->object() == box()->view())
            return 0;
        if (box()->isEditable() && child->object() == box()->lineEdit())
            return 1;
        return -1;
    }

    QStringList actionNames() const override { return {showMenuAction()}; }
    void doAction(const QString &action) override
    {
        if (action == showMenuAction())
            box()->showPopup();
    }
};

// A program's top-level window: a frame named by its caption (Qt reports a plain widget as a
// filler, even when it is a window).
class WindowAccessible : public QAccessibleWidget
{
public:
    explicit WindowAccessible(QWidget *window) : QAccessibleWidget(window, QAccessible::Window) {}
};

QAccessibleInterface *createInterface(const QString &className, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto *widget = static_cast<QWidget *>(object);
    if (className == QLatin1String("ReceiveView"))
        return new ReceiveViewAccessible(static_cast<ReceiveView *>(widget));
    if (className == QLatin1String("qt::ComboBox"))
        return new ComboBoxAccessible(static_cast<ComboBox *>(widget));
    // A chart, not a frame: readers take a frame for a window of its own.
    if (className == QLatin1String("qt::RoundTripChart"))
        return new QAccessibleWidget(widget, QAccessible::Chart);
    if (className == QLatin1String("QWidget") && widget->isWindow())
        return new WindowAccessible(widget);
    return nullptr;
}

} // namespace

void installAccessibleInterfaces()
{
    static const bool installed = [] {
        QAccessible::installFactory(createInterface);
        return true;
    }();
    (void)installed;
}
