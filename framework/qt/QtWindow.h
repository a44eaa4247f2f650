// The Qt backend's window: the stored layout built by uic, its named widgets behind the
// neutral controls. Also what tests and benchmarks that drive Qt itself need of it.
#pragma once

#include "framework/controls/Window.h"

class QWidget;

// The widget of a window this backend made; null for any other.
QWidget *qtWindow(const FormWindow &window);

// Places a top-level window at the centre of the available area of its screen.
void centreOnScreen(QWidget &window);
