// Picture: a STATIC showing the decoded stored picture at the centre of its place, enlarged
// or reduced by the form's dpi as the place is (the stored picture is drawn for 96 dpi).
#include "framework/controls/Containers.h"
#include "framework/win32/Controls.h"
#include "framework/win32/PictureDecoder.h"

namespace {

// A copy of the bitmap at dpi's scale, smoothed (HALFTONE) so that its text stays legible.
HBITMAP scaledBitmap(HBITMAP bitmap, int dpi)
{
    BITMAP stored{};
    GetObjectW(bitmap, sizeof stored, &stored);
    const int width = scaled(stored.bmWidth, dpi), height = scaled(stored.bmHeight, dpi);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void *pixels = nullptr;
    HBITMAP copy = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (copy == nullptr)
        return nullptr;
    HDC from = CreateCompatibleDC(nullptr), to = CreateCompatibleDC(nullptr);
    HGDIOBJ oldFrom = SelectObject(from, bitmap), oldTo = SelectObject(to, copy);
    SetStretchBltMode(to, HALFTONE);
    SetBrushOrgEx(to, 0, 0, nullptr);
    StretchBlt(to, 0, 0, width, height, from, 0, 0, stored.bmWidth, stored.bmHeight, SRCCOPY);
    SelectObject(from, oldFrom);
    SelectObject(to, oldTo);
    DeleteDC(from);
    DeleteDC(to);
    return copy;
}

class Win32Picture : public Win32Control, public virtual Picture
{
public:
    Win32Picture(const ControlSite &site, std::string_view source)
        : Win32Control(std::string(site.row->name)), m_source(source)
    {
        m_bitmap = source.empty() ? nullptr : loadPicture(source);
        create(site, L"STATIC", SS_BITMAP | SS_CENTERIMAGE);
        rescale(site);
    }
    ~Win32Picture() override
    {
        for (HBITMAP bitmap : {m_bitmap, m_scaled})
            if (bitmap != nullptr)
                DeleteObject(bitmap);
    }

    std::string source() const override { return m_source; }
    void rescale(const ControlSite &site) override
    {
        HBITMAP resized =
            m_bitmap != nullptr && site.dpi != 96 ? scaledBitmap(m_bitmap, site.dpi) : nullptr;
        // Common Controls 6 shows its own copy of a bitmap with alpha, and hands it back here.
        const auto shown = reinterpret_cast<HBITMAP>(
            SendMessageW(m_window, STM_SETIMAGE, IMAGE_BITMAP,
                         reinterpret_cast<LPARAM>(resized != nullptr ? resized : m_bitmap)));
        if (shown != nullptr && shown != m_bitmap && shown != m_scaled)
            DeleteObject(shown);
        if (m_scaled != nullptr)
            DeleteObject(m_scaled);
        m_scaled = resized;
        // STATIC fits its size to the bitmap; the stored place stays.
        place(m_window, site.place);
    }

private:
    std::string m_source;
    HBITMAP m_bitmap = nullptr; // as stored
    HBITMAP m_scaled = nullptr; // at a dpi other than 96
};

} // namespace

std::unique_ptr<Win32Control> makePicture(const ControlSite &site, std::string_view source)
{
    return std::make_unique<Win32Picture>(site, source);
}
