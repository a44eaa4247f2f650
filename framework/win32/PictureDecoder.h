// Pictures decoded by the system (WIC): JPEG and bitmaps from the stored resources, as
// 32-bit device-independent bitmaps. Any fault raises EPictureError, with the texts the
// Linux build's decoder gives. Needs COM on the calling thread.
#pragma once

#include <windows.h>

#include <string_view>

// The picture stored at the resource path source; the caller owns the bitmap.
HBITMAP loadPicture(std::string_view source);
// The picture in bytes (what names it in messages: name).
HBITMAP decodePicture(std::string_view bytes, std::string_view name);
