// The picture decoder fed arbitrary bytes: it either gives an RGB image of a sane size or
// raises EPictureError; it never crashes, leaks or ends the process.
#include "framework/qt/JpegImage.h"
#include "fuzz/FuzzCheck.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    try {
        const QImage image = decodeJpeg(bytes);
        FUZZ_CHECK(!image.isNull());
        FUZZ_CHECK(image.format() == QImage::Format_RGB888);
        FUZZ_CHECK(image.width() > 0 && image.height() > 0);
    } catch (const EPictureError &) {
        // Refused: the expected outcome for almost every input.
    }
    return 0;
}
