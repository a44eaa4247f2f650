// Dialogs show the desktop's dialog font, not the fonts of the window they belong to, whose
// style sheet their children would otherwise inherit. UI thread only.
#pragma once

class QWidget;

// Gives the dialog, and everything in it, the desktop's font for its kind of dialog.
void useDialogFont(QWidget &dialog, const char *kind);
