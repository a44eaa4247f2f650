// Resource paths of the pictures and the icon stored with the window. zephra_resources
// compiles them in; they are registered before main() in every program that links it.
#pragma once

extern const char *const kLogoPicture;      // 121 x 80, 8-bit palette bitmap
extern const char *const kSetupModePicture; // 290 x 256 JPEG, switch at SETUP
extern const char *const kRunModePicture;   // 290 x 256 JPEG, switch at RUN
extern const char *const kMainIcon;         // MAINICON: 32 x 32, 16 colours
