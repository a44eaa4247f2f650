// Drop-down list of the window, or with `editable` a drop-down whose text can also be typed.
// - onDropDown runs just before the list opens (mouse, F4, Alt+Down), so a handler can bring
//   the items up to date and the user sees the refreshed list.
// - onChange runs when the user chooses an item (from the list, with the arrow keys or the
//   wheel) or, when editable, types into the text; never when the program sets the index or
//   the items.
// - With `sorted`, addText puts each item at its place in byte order of its Windows-1252
//   text, as the Windows list control does ("COM10" before "COM2").
// - addText and deleteItem keep the choice as the Windows control does: adding never chooses
//   an item (QComboBox chooses the first item added to an empty list), deleting the chosen
//   item leaves nothing chosen (QComboBox would choose a neighbour).
// At most 8 rows of the list show at a time. Typed text is never added to the items, and
// never completed from them.
// UI thread only.
#pragma once

#include <QComboBox>
#include <QPointer>
#include <functional>

class QLineEdit;

namespace qt {

class ComboBox : public QComboBox
{
    Q_OBJECT
    Q_PROPERTY(bool sorted READ isSorted WRITE setSorted)

public:
    explicit ComboBox(QWidget *parent = nullptr);

    bool isSorted() const { return m_sorted; }
    // Turning sorting on puts the present items in order.
    void setSorted(bool sorted);

    // Adds an item at its sorted place (sorted) or at the end; returns its index.
    // QComboBox::addItem/insertItem place items where they are told to.
    int addText(const QString &text);
    void deleteItem(int index);

    // -1 when nothing is chosen; setting never runs onChange.
    int itemIndex() const { return currentIndex(); }
    void setItemIndex(int index) { setCurrentIndex(index); }

    void showPopup() override;

    std::function<void()> onChange;
    std::function<void()> onDropDown;

protected:
    bool event(QEvent *event) override;

private:
    void watchLineEdit();
    void changedByUser();

    bool m_sorted = false;
    QPointer<QLineEdit> m_watchedEdit;
};

} // namespace qt
