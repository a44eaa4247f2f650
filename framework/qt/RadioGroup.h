// A group box whose items are radio buttons in one column, exactly one or none chosen.
// ItemIndex is the chosen item's index, -1 for none; setting it clamps to -1..count-1 and
// does not run onClick. onClick runs when the user chooses another item (mouse or keyboard).
// The items are spread evenly down the height below the caption, as the native radio group
// draws them. For the keyboard the group is one stop: Tab enters at the chosen item (the first
// when none is chosen), the arrow keys move between items. UI thread only.
#pragma once

#include "framework/qt/GroupBox.h"

#include <QList>
#include <QStringList>
#include <functional>

class QRadioButton;

namespace qt {

class RadioGroup : public GroupBox
{
    Q_OBJECT
    Q_PROPERTY(QStringList items READ items WRITE setItems)
    Q_PROPERTY(int itemIndex READ itemIndex WRITE setItemIndex)

public:
    explicit RadioGroup(QWidget *parent = nullptr);

    QStringList items() const;
    // Replaces all items; the choice is cleared.
    void setItems(const QStringList &items);
    int count() const { return static_cast<int>(m_buttons.size()); }
    QRadioButton *button(int index) const { return m_buttons.value(index); }

    int itemIndex() const { return m_itemIndex; }
    void setItemIndex(int index);

    std::function<void()> onClick;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void arrangeButtons();
    void updateTabStop();
    void buttonToggled(int index, bool checked);

    QList<QRadioButton *> m_buttons;
    int m_itemIndex = -1;
    bool m_updating = false;
};

} // namespace qt
