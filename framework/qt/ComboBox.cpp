#include "framework/qt/ComboBox.h"

#include "framework/qt/Ansi.h"

#include <QLineEdit>
#include <algorithm>

namespace qt {

ComboBox::ComboBox(QWidget *parent) : QComboBox(parent)
{
    setMaxVisibleItems(8);
    setInsertPolicy(QComboBox::NoInsert);
    // Styles that open the list as a menu over the box ignore maxVisibleItems.
    setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    connect(this, &QComboBox::activated, this, &ComboBox::changedByUser);
}

void ComboBox::setSorted(bool sorted)
{
    m_sorted = sorted;
    if (!sorted || count() < 2)
        return;
    QStringList texts;
    for (int i = 0; i < count(); ++i)
        texts.append(itemText(i));
    std::stable_sort(texts.begin(), texts.end(),
                     [](const QString &a, const QString &b) { return toAnsi(a) < toAnsi(b); });
    const QString current = currentText();
    const bool chosen = currentIndex() >= 0;
    const QSignalBlocker blocker(this);
    clear();
    addItems(texts);
    setCurrentIndex(chosen ? static_cast<int>(texts.indexOf(current)) : -1);
}

int ComboBox::addText(const QString &text)
{
    int index = count();
    if (m_sorted) {
        const std::string key = toAnsi(text);
        // After equal texts, as the list control inserts them.
        int low = 0;
        int high = count();
        while (low < high) {
            const int middle = (low + high) / 2;
            if (key < toAnsi(itemText(middle)))
                high = middle;
            else
                low = middle + 1;
        }
        index = low;
    }
    const bool chosen = currentIndex() >= 0;
    insertItem(index, text);
    if (!chosen)
        setCurrentIndex(-1);
    return index;
}

void ComboBox::deleteItem(int index)
{
    const bool wasChosen = index == currentIndex();
    removeItem(index);
    if (wasChosen)
        setCurrentIndex(-1);
}

void ComboBox::showPopup()
{
    if (onDropDown)
        onDropDown();
    QComboBox::showPopup();
}

bool ComboBox::event(QEvent *event)
{
    // The editor appears when the box becomes editable (set by the stored layout after
    // construction); every key and focus change passes here first, as the editor forwards its
    // focus to the box.
    watchLineEdit();
    return QComboBox::event(event);
}

void ComboBox::watchLineEdit()
{
    QLineEdit *edit = lineEdit();
    // Typed text stays as typed: the editor Qt makes completes inline from the items ("9"
    // would become "9600"), which the native box does not. Qt installs that completer after
    // the editor exists, so it is looked for on every event until it is gone.
    if (edit && edit->completer())
        edit->setCompleter(nullptr);
    if (edit == m_watchedEdit)
        return;
    m_watchedEdit = edit;
    if (edit)
        connect(edit, &QLineEdit::textEdited, this, &ComboBox::changedByUser);
}

void ComboBox::changedByUser()
{
    if (onChange)
        onChange();
}

} // namespace qt
