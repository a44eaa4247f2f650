#include "framework/qt/RadioGroup.h"

#include <QEvent>
#include <QRadioButton>
#include <algorithm>

namespace qt {

RadioGroup::RadioGroup(QWidget *parent) : GroupBox(parent)
{
    // The group itself never takes focus: with a child as focus proxy it is a compound widget,
    // so tab orders set on the group apply to its items.
    setFocusPolicy(Qt::StrongFocus);
}

QStringList RadioGroup::items() const
{
    QStringList texts;
    for (const QRadioButton *button : m_buttons)
        texts.append(button->text());
    return texts;
}

void RadioGroup::setItems(const QStringList &items)
{
    setFocusProxy(nullptr);
    qDeleteAll(m_buttons);
    m_buttons.clear();
    m_itemIndex = -1;
    for (const QString &text : items) {
        auto *button = new QRadioButton(text, this);
        const int index = static_cast<int>(m_buttons.size());
        connect(button, &QAbstractButton::toggled, this,
                [this, index](bool checked) { buttonToggled(index, checked); });
        m_buttons.append(button);
        button->show();
    }
    if (!m_buttons.isEmpty())
        setFocusProxy(m_buttons.first());
    arrangeButtons();
    updateTabStop();
}

void RadioGroup::setItemIndex(int index)
{
    index = std::clamp(index, -1, count() - 1);
    if (index == m_itemIndex)
        return;
    m_updating = true;
    if (index >= 0) {
        m_buttons[index]->setChecked(true);
    } else {
        // An auto-exclusive button refuses to be unchecked while it is the checked one.
        QRadioButton *checked = m_buttons[m_itemIndex];
        checked->setAutoExclusive(false);
        checked->setChecked(false);
        checked->setAutoExclusive(true);
    }
    m_updating = false;
    m_itemIndex = index;
    updateTabStop();
}

void RadioGroup::buttonToggled(int index, bool checked)
{
    if (!checked || m_updating || index == m_itemIndex)
        return;
    m_itemIndex = index;
    updateTabStop();
    if (onClick)
        onClick();
}

void RadioGroup::resizeEvent(QResizeEvent *event)
{
    GroupBox::resizeEvent(event);
    arrangeButtons();
}

void RadioGroup::changeEvent(QEvent *event)
{
    GroupBox::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        arrangeButtons();
}

// The native radio group's arrangement: below the caption's line plus a small margin, the
// remaining height shared evenly, the remainder split above and below.
void RadioGroup::arrangeButtons()
{
    const int count = this->count();
    if (count == 0)
        return;
    const int textHeight = fontMetrics().height();
    const int free = std::max(0, height() - textHeight - 5);
    const int buttonHeight = free / count;
    const int topMargin = textHeight + 1 + (free % count) / 2;
    const int buttonWidth = std::max(0, width() - 10);
    for (int i = 0; i < count; ++i)
        m_buttons[i]->setGeometry(8, topMargin + i * buttonHeight, buttonWidth, buttonHeight);
}

void RadioGroup::updateTabStop()
{
    const int stop = std::max(m_itemIndex, 0);
    for (int i = 0; i < count(); ++i)
        m_buttons[i]->setFocusPolicy(i == stop ? Qt::StrongFocus : Qt::ClickFocus);
}

} // namespace qt
