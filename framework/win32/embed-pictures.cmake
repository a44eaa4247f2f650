# cmake -DOUTPUT=file.cpp -DROOT=dir -DFILES="a;b" -P embed-pictures.cmake: the pictures as
# byte arrays in a C++ source, under the resource paths the stored layout names
# (":/pictures/logo.bmp"), for storedPicture().
set(body "")
set(index "")
set(n 0)
foreach(file ${FILES})
  file(READ ${ROOT}/${file} bytes HEX)
  string(LENGTH "${bytes}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${bytes}")
  string(APPEND body "const char picture${n}[] = {${bytes}};\n")
  string(APPEND index "    {\":/${file}\", {picture${n}, ${size}}},\n")
  math(EXPR n "${n} + 1")
endforeach()
file(WRITE ${OUTPUT}.new "// Made by embed-pictures.cmake at build time: do not edit.
#include \"framework/win32/PictureStore.h\"

#include <utility>

namespace {
${body}
const std::pair<std::string_view, std::string_view> pictures[] = {
${index}};

} // namespace

std::string_view storedPicture(std::string_view path)
{
    for (const auto &[name, bytes] : pictures) {
        if (name == path)
            return bytes;
    }
    return {};
}
")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
