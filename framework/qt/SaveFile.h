// The file a background save writes in the Qt build: it appears whole or not at all. It is
// written beside its place and renamed over it once complete, so a failure leaves whatever was
// there before. Failures give Qt's reason. Opened and used on the saving thread.
#pragma once

#include "framework/core/BackgroundSave.h"

#include <QString>

#include <memory>

std::unique_ptr<BackgroundSave::File> openSaveFile(const QString &path);
// The file a capture writes: created in place, each write in it at once; what was written
// stays when a later write fails.
std::unique_ptr<BackgroundSave::File> openCaptureFile(const QString &path);
