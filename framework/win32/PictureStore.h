// The pictures stored with the window, compiled into the program.
#pragma once

#include <string_view>

// The bytes of the picture at a resource path (":/pictures/logo.bmp"); empty when none.
std::string_view storedPicture(std::string_view path);
