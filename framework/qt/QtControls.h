// The neutral controls over Qt's widgets: one adapter per control the stored layout names,
// made for the widgets uic built, each holding its widget. Texts cross once, here, through the
// Windows-1252 conversion; every slot runs through the handler guard. UI thread only.
#pragma once

#include "framework/controls/Control.h"

#include <QWidget>

#include <memory>

// The control for a widget of the layout, by its class; null for one no handler uses (group
// boxes, frames, tab pages).
std::unique_ptr<Control> makeQtControl(QWidget *widget);

// The widget behind a control this backend made (for the window and for tests that drive Qt
// itself); null for any other control.
QWidget *qtWidget(const Control *control);
// The same, as its class W; null when it is not one.
template<class W> W *qtWidget(const Control *control)
{
    return qobject_cast<W *>(qtWidget(control));
}
