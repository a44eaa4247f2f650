#include "framework/qt/JpegImage.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <string>

namespace {

// Larger pictures are refused rather than allocated: the header's size is untrusted.
constexpr unsigned long kMaxPixels = 64UL * 1024 * 1024;

struct ErrorManager
{
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void failDecoding(j_common_ptr info)
{
    auto *errors = reinterpret_cast<ErrorManager *>(info->err);
    info->err->format_message(info, errors->message);
    std::longjmp(errors->jump, 1);
}

// libjpeg only warns about truncated or damaged data and fills in grey; such a picture is
// as broken as one it refuses.
void emitMessage(j_common_ptr info, int level)
{
    if (level < 0)
        failDecoding(info);
}

// The two phases keep only plain data in the frames that libjpeg may leave by longjmp, so no
// C++ object is skipped over; the QImage lives in decodeJpeg between them.
bool startDecoding(jpeg_decompress_struct *info, ErrorManager *errors, const QByteArray *data)
{
    if (setjmp(errors->jump))
        return false;
    jpeg_mem_src(info, reinterpret_cast<const unsigned char *>(data->constData()),
                 static_cast<unsigned long>(data->size()));
    jpeg_read_header(info, TRUE);
    info->out_color_space = JCS_RGB;
    jpeg_start_decompress(info);
    return true;
}

bool readLines(jpeg_decompress_struct *info, ErrorManager *errors, QImage *image)
{
    if (setjmp(errors->jump))
        return false;
    while (info->output_scanline < info->output_height) {
        JSAMPROW row = image->scanLine(static_cast<int>(info->output_scanline));
        jpeg_read_scanlines(info, &row, 1);
    }
    jpeg_finish_decompress(info);
    return true;
}

} // namespace

QImage decodeJpeg(const QByteArray &data)
{
    if (data.isEmpty())
        throw EPictureError("JPEG picture is empty");

    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = failDecoding;
    errors.base.emit_message = emitMessage;
    jpeg_create_decompress(&info);

    auto fail = [&info](const std::string &message) {
        jpeg_destroy_decompress(&info);
        throw EPictureError("JPEG picture: " + message);
    };

    if (!startDecoding(&info, &errors, &data))
        fail(errors.message);
    if (info.output_components != 3 ||
        static_cast<unsigned long>(info.output_width) * info.output_height > kMaxPixels)
        fail("unsupported picture size or colour model");

    QImage image(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                 QImage::Format_RGB888);
    if (image.isNull())
        fail("out of memory");
    if (!readLines(&info, &errors, &image))
        fail(errors.message);

    jpeg_destroy_decompress(&info);
    return image;
}
