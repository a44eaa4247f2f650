#include "framework/qt/QtControls.h"

#include "framework/controls/Buttons.h"
#include "framework/controls/Containers.h"
#include "framework/controls/ListControls.h"
#include "framework/controls/RangeControls.h"
#include "framework/controls/TextControls.h"
#include "framework/core/HandlerGuard.h"
#include "framework/qt/Ansi.h"
#include "framework/qt/ComboBox.h"
#include "framework/qt/Memo.h"
#include "framework/qt/Picture.h"
#include "framework/qt/RadioGroup.h"
#include "framework/qt/ReceiveView.h"
#include "framework/qt/RoundTripChart.h"
#include "framework/qt/ScrollBar.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

#include <memory>

namespace {

class QtControlBase
{
public:
    virtual ~QtControlBase() = default;
    virtual QWidget *widget() const = 0;
};

// Runs a slot of the neutral control, if set, behind the handler guard.
template<class Slot, class... Args> void fire(const Slot &slot, Args &&...args)
{
    if (slot)
        runGuarded([&] { slot(std::forward<Args>(args)...); });
}

// What every control has, over the widget of type W.
template<class Interface, class W> class QtControl : public Interface, public QtControlBase
{
public:
    explicit QtControl(W *widget) : m_widget(widget), m_name(toAnsi(widget->objectName())) {}

    QWidget *widget() const override { return m_widget; }
    const std::string &name() const override { return m_name; }
    bool enabled() const override { return m_widget->isEnabled(); }
    void setEnabled(bool enabled) override { m_widget->setEnabled(enabled); }
    bool visible() const override { return !m_widget->isHidden(); }
    void setVisible(bool visible) override { m_widget->setVisible(visible); }
    bool hasFocus() const override { return m_widget->hasFocus(); }
    void setFocus() override { m_widget->setFocus(); }

protected:
    W *const m_widget;

private:
    const std::string m_name;
};

template<class Interface, class W> class QtButtonControl : public QtControl<Interface, W>
{
public:
    explicit QtButtonControl(W *button) : QtControl<Interface, W>(button)
    {
        QObject::connect(button, &QAbstractButton::clicked, button,
                         [this] { fire(this->onClick, this); });
    }
    std::string caption() const override { return toAnsi(this->m_widget->text()); }
    void setCaption(const std::string &caption) override
    {
        this->m_widget->setText(fromAnsi(caption));
    }
    // QAbstractButton::click does nothing for a disabled button; a hidden one is not there.
    void click() override
    {
        if (!this->m_widget->isHidden())
            this->m_widget->click();
    }
};

class QtButton final : public QtButtonControl<Button, QPushButton>
{
public:
    explicit QtButton(QPushButton *button) : QtButtonControl(button)
    {
        // Enter presses the focused button, as Space does, as on the desktop the window comes
        // from; Qt's buttons take Enter only inside dialogs unless told.
        button->setAutoDefault(true);
    }
};

class QtCheckBox final : public QtButtonControl<CheckBox, QCheckBox>
{
public:
    using QtButtonControl::QtButtonControl;
    bool checked() const override { return m_widget->isChecked(); }
    void setChecked(bool checked) override
    {
        if (checked == m_widget->isChecked())
            return;
        m_widget->setChecked(checked);
        fire(onClick, this);
    }
};

class QtLabel final : public QtControl<Label, QLabel>
{
public:
    using QtControl::QtControl;
    std::string caption() const override { return toAnsi(m_widget->text()); }
    void setCaption(const std::string &caption) override { m_widget->setText(fromAnsi(caption)); }
};

template<class Interface, class W> class QtTextControl : public QtControl<Interface, W>
{
public:
    // The box's own context menu, with the owner's choices after it.
    explicit QtTextControl(W *widget) : QtControl<Interface, W>(widget)
    {
        widget->setContextMenuPolicy(Qt::CustomContextMenu);
        QObject::connect(widget, &QWidget::customContextMenuRequested, widget,
                         [this](const QPoint &at) { showMenu(at); });
    }
    void setHint(const std::string &hint) override { this->m_widget->setToolTip(fromAnsi(hint)); }
    bool readOnly() const override { return this->m_widget->isReadOnly(); }

private:
    void showMenu(const QPoint &at)
    {
        const std::unique_ptr<QMenu> menu(this->m_widget->createStandardContextMenu());
        menu->setObjectName(fromAnsi(this->name() + "Menu"));
        const std::vector<MenuChoice> &choices = this->choices();
        if (!choices.empty())
            menu->addSeparator();
        for (std::size_t c = 0; c < choices.size(); ++c) {
            const int choice = static_cast<int>(c);
            if (choices[c].items.empty()) {
                menu->addAction(fromAnsi(choices[c].title), this->m_widget,
                                [this, choice] { runGuarded([&] { this->choose(choice, -1); }); });
                continue;
            }
            QMenu *sub = menu->addMenu(fromAnsi(choices[c].title));
            for (std::size_t i = 0; i < choices[c].items.size(); ++i) {
                const int item = static_cast<int>(i);
                QAction *action = sub->addAction(
                    fromAnsi(choices[c].items[i]), this->m_widget,
                    [this, choice, item] { runGuarded([&] { this->choose(choice, item); }); });
                action->setCheckable(true);
                action->setChecked(item == choices[c].chosen);
            }
        }
        menu->exec(this->m_widget->mapToGlobal(at));
    }
};

class QtEdit final : public QtTextControl<Edit, QLineEdit>
{
public:
    explicit QtEdit(QLineEdit *edit) : QtTextControl(edit)
    {
        QObject::connect(edit, &QLineEdit::textChanged, edit, [this] { fire(onChange, this); });
    }
    std::string text() const override { return toAnsi(m_widget->text()); }
    void setText(const std::string &text) override { m_widget->setText(fromAnsi(text)); }
};

class QtMemo final : public QtTextControl<Memo, qt::Memo>
{
public:
    explicit QtMemo(qt::Memo *memo) : QtTextControl(memo)
    {
        QObject::connect(memo, &QPlainTextEdit::textChanged, memo,
                         [this] { fire(onChange, this); });
        memo->onKeyPress = [this](char key) { fire(onKeyPress, this, key); };
    }
    std::string text() const override { return toAnsi(m_widget->toPlainText()); }
    void setText(const std::string &text) override
    {
        if (text != this->text())
            m_widget->setPlainText(fromAnsi(text));
    }
    void clear() override { m_widget->clear(); }
    // The key goes through the box's own key handling, as the keyboard's does.
    void type(char key) override
    {
        const auto code = key == '\r'   ? Qt::Key_Return
                          : key == '\b' ? Qt::Key_Backspace
                                        : Qt::Key_unknown;
        QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, QString(fromAnsiChar(key)));
        QCoreApplication::sendEvent(m_widget, &press);
    }
};

class QtReceiveBox final : public QtControl<ReceiveBox, ReceiveView>
{
public:
    explicit QtReceiveBox(ReceiveView *view) : QtControl(view)
    {
        QObject::connect(view, &ReceiveView::cleared, view, [this] { fire(onCleared, this); });
        QObject::connect(view, &ReceiveView::captureChanged, view,
                         [this] { fire(onCaptureChanged, this); });
        QObject::connect(view, &ReceiveView::resetCountersChosen, view,
                         [this] { fire(onResetCounters, this); });
        QObject::connect(view, &ReceiveView::chosen, view,
                         [this](int choice, int item) { fire(onChoose, this, choice, item); });
    }
    void captureReceived(std::string_view bytes) override { m_widget->captureReceived(bytes); }
    void startCapture(const std::string &path, bool received) override
    {
        m_widget->startCapture(QFile::decodeName(path.c_str()), received);
    }
    void stopCapture() override { m_widget->stopCapture(); }
    std::string captureName() const override { return m_widget->captureName(); }
    void append(std::string_view text) override { m_widget->append(text); }
    void clear() override { m_widget->clear(); }
    void removeEnd(std::int64_t count) override
    {
        m_widget->removeEnd(static_cast<std::uint64_t>(count));
    }
    std::int64_t replaceFront(std::int64_t count, std::string_view prefix) override
    {
        return static_cast<std::int64_t>(
            m_widget->replaceFront(static_cast<std::uint64_t>(count), prefix));
    }
    void setChoices(std::vector<MenuChoice> choices) override
    {
        m_widget->setChoices(std::move(choices));
    }
    std::vector<MenuChoice> choices() const override { return m_widget->choices(); }
    void choose(int choice, int item) override { m_widget->choose(choice, item); }
    std::string text() const override { return m_widget->text(); }
    std::int64_t size() const override
    {
        return static_cast<std::int64_t>(m_widget->wrapped().size());
    }
    void setReceivedSource(ReceivedSource source) override
    {
        if (!source) {
            m_widget->setReceivedSource({});
            return;
        }
        m_widget->setReceivedSource([view = m_widget, source = std::move(source)] {
            return [text = view->textSnapshot(), convert = source()] {
                return convert(text.slice(0, text.size()));
            };
        });
    }
};

class QtComboBox final : public QtControl<ComboBox, qt::ComboBox>
{
public:
    explicit QtComboBox(qt::ComboBox *box) : QtControl(box)
    {
        box->onChange = [this] { fire(onChange, this); };
        box->onDropDown = [this] { fire(onDropDown, this); };
    }
    int addItem(const std::string &text) override { return m_widget->addText(fromAnsi(text)); }
    void deleteItem(int index) override { m_widget->deleteItem(index); }
    void clearItems() override { m_widget->clear(); }
    int count() const override { return m_widget->count(); }
    std::string item(int index) const override { return toAnsi(m_widget->itemText(index)); }
    int itemIndex() const override { return m_widget->itemIndex(); }
    void setItemIndex(int index) override { m_widget->setItemIndex(index); }
    std::string text() const override { return toAnsi(m_widget->currentText()); }
    void setText(const std::string &text) override
    {
        if (m_widget->isEditable())
            m_widget->setEditText(fromAnsi(text));
        else
            m_widget->setItemIndex(m_widget->findText(fromAnsi(text)));
    }
    void setItemHint(int index, const std::string &hint) override
    {
        m_widget->setItemData(index, QFile::decodeName(hint.c_str()), Qt::ToolTipRole);
    }
    void choose(int index) override
    {
        if (!m_widget->isEnabled() || index < 0 || index >= m_widget->count())
            return;
        m_widget->setItemIndex(index);
        Q_EMIT m_widget->activated(index);
    }
};

class QtRadioGroup final : public QtControl<RadioGroup, qt::RadioGroup>
{
public:
    explicit QtRadioGroup(qt::RadioGroup *group) : QtControl(group)
    {
        group->onClick = [this] { fire(onClick, this); };
    }
    std::vector<std::string> items() const override
    {
        std::vector<std::string> items;
        for (const QString &item : m_widget->items())
            items.push_back(toAnsi(item));
        return items;
    }
    int itemIndex() const override { return m_widget->itemIndex(); }
    void setItemIndex(int index) override
    {
        const int before = m_widget->itemIndex();
        m_widget->setItemIndex(index);
        if (m_widget->itemIndex() != before)
            fire(onClick, this);
    }
};

template<class Interface, class W> class QtRangeControl : public QtControl<Interface, W>
{
public:
    using QtControl<Interface, W>::QtControl;
    int minimum() const override { return this->m_widget->minimum(); }
    int maximum() const override { return this->m_widget->maximum(); }
    void setRange(int minimum, int maximum) override { this->m_widget->setRange(minimum, maximum); }
};

class QtScrollBar final : public QtRangeControl<ScrollBar, qt::ScrollBar>
{
public:
    explicit QtScrollBar(qt::ScrollBar *bar) : QtRangeControl(bar)
    {
        bar->onChange = [this] { fire(onChange, this); };
    }
    int position() const override { return m_widget->position(); }
    void setPosition(int position) override { m_widget->setPosition(position); }
};

class QtSpinBox final : public QtRangeControl<SpinBox, QSpinBox>
{
public:
    explicit QtSpinBox(QSpinBox *box) : QtRangeControl(box)
    {
        QObject::connect(box, &QSpinBox::valueChanged, box, [this] { fire(onChange, this); });
    }
    int position() const override { return m_widget->value(); }
    void setPosition(int position) override { m_widget->setValue(position); }
};

class QtTabControl final : public QtControl<TabControl, QTabWidget>
{
public:
    explicit QtTabControl(QTabWidget *tabs) : QtControl(tabs)
    {
        QObject::connect(tabs, &QTabWidget::currentChanged, tabs, [this] { fire(onChange, this); });
    }
    int count() const override { return m_widget->count(); }
    int activePage() const override { return m_widget->currentIndex(); }
    void setActivePage(int index) override { m_widget->setCurrentIndex(index); }
};

class QtPicture final : public QtControl<Picture, qt::Picture>
{
public:
    using QtControl::QtControl;
    std::string source() const override { return toAnsi(m_widget->source()); }
};

class QtRoundTripChart final : public QtControl<RoundTripChart, qt::RoundTripChart>
{
public:
    using QtControl::QtControl;
    void setPoints(std::vector<Point> points, const Scale &scale) override
    {
        m_widget->setPoints(std::move(points), scale);
    }
    void setDescription(const std::string &description) override
    {
        m_widget->setAccessibleDescription(fromAnsi(description));
    }
};

// The adapter for a widget of class W, when the widget is one.
template<class Adapter, class W> std::unique_ptr<Control> adapt(QWidget *widget)
{
    if (auto *typed = qobject_cast<W *>(widget))
        return std::make_unique<Adapter>(typed);
    return nullptr;
}

} // namespace

std::unique_ptr<Control> makeQtControl(QWidget *widget)
{
    // Most derived classes first: a check box is a button, a picture is a label, a radio
    // group is a group box.
    for (const auto make :
         {adapt<QtCheckBox, QCheckBox>, adapt<QtButton, QPushButton>, adapt<QtPicture, qt::Picture>,
          adapt<QtLabel, QLabel>, adapt<QtEdit, QLineEdit>, adapt<QtMemo, qt::Memo>,
          adapt<QtReceiveBox, ReceiveView>, adapt<QtComboBox, qt::ComboBox>,
          adapt<QtRadioGroup, qt::RadioGroup>, adapt<QtScrollBar, qt::ScrollBar>,
          adapt<QtSpinBox, QSpinBox>, adapt<QtTabControl, QTabWidget>,
          adapt<QtRoundTripChart, qt::RoundTripChart>}) {
        if (std::unique_ptr<Control> control = make(widget))
            return control;
    }
    return nullptr;
}

QWidget *qtWidget(const Control *control)
{
    const auto *adapter = dynamic_cast<const QtControlBase *>(control);
    return adapter ? adapter->widget() : nullptr;
}
