#include "framework/win32/PictureDecoder.h"

#include "framework/win32/PictureError.h"
#include "framework/win32/PictureStore.h"

#include <wincodec.h>

#include <string>

namespace {

// Larger pictures are refused rather than allocated: the header's size is untrusted.
constexpr unsigned long long MaxPixels = 64ULL * 1024 * 1024;

template<class Interface> struct Released
{
    Interface *p = nullptr;
    ~Released()
    {
        if (p != nullptr)
            p->Release();
    }
    Interface **operator&() { return &p; }
    Interface *operator->() const { return p; }
};

std::string reasonOf(HRESULT result)
{
    char *text = nullptr;
    FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(result), 0, reinterpret_cast<char *>(&text), 0, nullptr);
    std::string reason = text != nullptr ? text : "";
    LocalFree(text);
    while (!reason.empty() &&
           (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
        reason.pop_back();
    if (reason.empty()) {
        char code[16];
        wsprintfA(code, "0x%08lX", static_cast<unsigned long>(result));
        reason = std::string("decoder error ") + code;
    }
    return reason;
}

} // namespace

HBITMAP loadPicture(std::string_view source)
{
    const std::string_view bytes = storedPicture(source);
    if (bytes.empty())
        throw EPictureError("Cannot open picture " + std::string(source));
    return decodePicture(bytes, source);
}

HBITMAP decodePicture(std::string_view bytes, std::string_view name)
{
    const bool jpeg = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xD8';
    const auto fail = [&](HRESULT result) {
        if (jpeg)
            throw EPictureError("JPEG picture: " + reasonOf(result));
        throw EPictureError("Cannot read picture " + std::string(name));
    };
    Released<IWICImagingFactory> factory;
    HRESULT result = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_PPV_ARGS(&factory.p));
    if (FAILED(result))
        throw EPictureError("Cannot read picture " + std::string(name) +
                            ": the system's picture decoders are missing");
    Released<IWICStream> stream;
    Released<IWICBitmapDecoder> decoder;
    Released<IWICBitmapFrameDecode> frame;
    Released<IWICFormatConverter> converter;
    if (FAILED(result = factory->CreateStream(&stream)) ||
        FAILED(result = stream->InitializeFromMemory(
                   reinterpret_cast<BYTE *>(const_cast<char *>(bytes.data())),
                   static_cast<DWORD>(bytes.size()))) ||
        FAILED(result = factory->CreateDecoderFromStream(
                   stream.p, nullptr, WICDecodeMetadataCacheOnDemand, &decoder)) ||
        FAILED(result = decoder->GetFrame(0, &frame)) ||
        FAILED(result = factory->CreateFormatConverter(&converter)) ||
        FAILED(result = converter->Initialize(frame.p, GUID_WICPixelFormat32bppBGR,
                                              WICBitmapDitherTypeNone, nullptr, 0,
                                              WICBitmapPaletteTypeCustom)))
        fail(result);
    UINT width = 0, height = 0;
    if (FAILED(result = converter->GetSize(&width, &height)))
        fail(result);
    if (width == 0 || height == 0 || static_cast<unsigned long long>(width) * height > MaxPixels) {
        if (jpeg)
            throw EPictureError("JPEG picture: unsupported picture size or colour model");
        fail(E_FAIL);
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height); // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (bitmap == nullptr)
        throw EPictureError(jpeg ? "JPEG picture: out of memory"
                                 : "Cannot read picture " + std::string(name));
    const UINT stride = width * 4;
    if (FAILED(result = converter->CopyPixels(nullptr, stride, stride * height,
                                              static_cast<BYTE *>(pixels)))) {
        DeleteObject(bitmap);
        fail(result);
    }
    return bitmap;
}
