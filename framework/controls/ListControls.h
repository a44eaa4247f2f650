// Controls that choose among items: the combo box (a fixed list, or editable with a typed
// text) and the radio group. Index -1: nothing chosen.
#pragma once

#include "framework/controls/Control.h"

#include <functional>
#include <vector>

class ComboBox : public virtual Control
{
public:
    // The list is sorted when the stored layout says so; an added item then goes to its place.
    virtual int addItem(const std::string &text) = 0;
    virtual void deleteItem(int index) = 0;
    virtual void clearItems() = 0;
    virtual int count() const = 0;
    virtual std::string item(int index) const = 0;
    virtual int itemIndex() const = 0;
    // Does not run onChange (a change from code), as the toolkits' own lists do.
    virtual void setItemIndex(int index) = 0;
    // Editable boxes: the typed or chosen text; list boxes: the chosen item's text.
    virtual std::string text() const = 0;
    virtual void setText(const std::string &text) = 0;
    // Tool tip of item index: the device a port name opens, a path in the file system's
    // 8-bit encoding.
    virtual void setItemHint(int index, const std::string &hint) = 0;
    // As the user picks item index from the open list: onChange runs (nothing when disabled).
    virtual void choose(int index) = 0;
    // The user chose an item or, in an editable box, changed the text.
    std::function<void(Sender)> onChange;
    // The list is about to open: the slot may refill it first.
    std::function<void(Sender)> onDropDown;
};

class RadioGroup : public virtual Control
{
public:
    virtual std::vector<std::string> items() const = 0;
    virtual int itemIndex() const = 0;
    // Runs onClick when the index changes.
    virtual void setItemIndex(int index) = 0;
    std::function<void(Sender)> onClick;
};
