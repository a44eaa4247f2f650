#include "framework/qt/JpegImage.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <vector>

namespace {

// A real JPEG of a colour gradient, made with libjpeg's encoder.
QByteArray encodeGradient(int width, int height, bool grey = false)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = grey ? 1 : 3;
    info.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(static_cast<std::size_t>(width * info.input_components));
    while (info.next_scanline < info.image_height) {
        const int y = static_cast<int>(info.next_scanline);
        for (int x = 0; x < width; ++x) {
            if (grey) {
                row[x] = static_cast<unsigned char>(x * 255 / width);
            } else {
                row[3 * x] = static_cast<unsigned char>(x * 255 / width);
                row[3 * x + 1] = static_cast<unsigned char>(y * 255 / height);
                row[3 * x + 2] = 128;
            }
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray data(reinterpret_cast<const char *>(buffer), static_cast<qsizetype>(size));
    std::free(buffer);
    return data;
}

void expectRefused(const QByteArray &data)
{
    EXPECT_THROW(decodeJpeg(data), EPictureError);
    try {
        decodeJpeg(data);
    } catch (const EPictureError &error) {
        EXPECT_FALSE(error.message().empty());
    }
}

} // namespace

TEST(JpegImage, DecodesColourPictureToRgb)
{
    const QImage image = decodeJpeg(encodeGradient(290, 256));
    ASSERT_EQ(image.size(), QSize(290, 256));
    EXPECT_EQ(image.format(), QImage::Format_RGB888);
    // The gradient survives within JPEG's loss.
    const QColor corner = image.pixelColor(289, 255);
    EXPECT_NEAR(corner.red(), 254, 6);
    EXPECT_NEAR(corner.green(), 254, 6);
    EXPECT_NEAR(corner.blue(), 128, 6);
    EXPECT_NEAR(image.pixelColor(0, 0).red(), 0, 6);
}

TEST(JpegImage, DecodesGreyPictureToRgb)
{
    const QImage image = decodeJpeg(encodeGradient(40, 8, true));
    ASSERT_EQ(image.size(), QSize(40, 8));
    const QColor middle = image.pixelColor(20, 4);
    EXPECT_EQ(middle.red(), middle.green());
    EXPECT_EQ(middle.green(), middle.blue());
}

TEST(JpegImage, RefusesDataThatIsNoJpeg)
{
    expectRefused(QByteArray());
    expectRefused(QByteArray("BM\x36\0\0\0", 6));
    expectRefused(QByteArray(1000, '\xFF'));
}

TEST(JpegImage, RefusesTruncatedPicture)
{
    const QByteArray data = encodeGradient(64, 64);
    expectRefused(data.left(data.size() / 2));
    expectRefused(data.left(2));
    expectRefused(data.chopped(2)); // only the end marker missing
}

TEST(JpegImage, RefusesCorruptScanData)
{
    QByteArray data = encodeGradient(64, 64);
    const qsizetype scanStart = data.indexOf("\xFF\xDA");
    ASSERT_GT(scanStart, 0);
    // A marker in the middle of the compressed data breaks the entropy decoding.
    for (qsizetype i = scanStart + 40; i < data.size() - 40; i += 37) {
        data[i] = '\xFF';
        data[i + 1] = '\xD9';
    }
    expectRefused(data);
}

TEST(JpegImage, RefusesAbsurdSizeWithoutAllocating)
{
    QByteArray data = encodeGradient(16, 16);
    const qsizetype frame = data.indexOf("\xFF\xC0");
    ASSERT_GT(frame, 0);
    // Height and width of the frame header: 65000 x 65000.
    data[frame + 5] = '\xFD';
    data[frame + 6] = '\xE8';
    data[frame + 7] = '\xFD';
    data[frame + 8] = '\xE8';
    expectRefused(data);
}
