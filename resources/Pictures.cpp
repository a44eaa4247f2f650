#include "resources/Pictures.h"

// Paths as zephra.qrc and MainForm.ui name them.
const char *const kLogoPicture = ":/pictures/logo.bmp";
const char *const kSetupModePicture = ":/pictures/setup-mode.jpg";
const char *const kRunModePicture = ":/pictures/run-mode.jpg";
const char *const kMainIcon = ":/pictures/MAINICON.ico";
