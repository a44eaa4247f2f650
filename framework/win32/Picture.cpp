// Picture: a STATIC showing the decoded stored picture at the centre of its place.
#include "framework/controls/Containers.h"
#include "framework/win32/Controls.h"
#include "framework/win32/PictureDecoder.h"

namespace {

class Win32Picture : public Win32Control, public virtual Picture
{
public:
    Win32Picture(const ControlSite &site, std::string_view source)
        : Win32Control(std::string(site.row->name)), m_source(source)
    {
        m_bitmap = source.empty() ? nullptr : loadPicture(source);
        create(site, L"STATIC", SS_BITMAP | SS_CENTERIMAGE);
        SendMessageW(m_window, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(m_bitmap));
        // STATIC fits its size to the bitmap; the stored place stays.
        SetWindowPos(m_window, nullptr, site.place.left, site.place.top,
                     site.place.right - site.place.left, site.place.bottom - site.place.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ~Win32Picture() override
    {
        if (m_bitmap != nullptr)
            DeleteObject(m_bitmap);
    }

    std::string source() const override { return m_source; }

private:
    std::string m_source;
    HBITMAP m_bitmap = nullptr;
};

} // namespace

std::unique_ptr<Win32Control> makePicture(const ControlSite &site, std::string_view source)
{
    return std::make_unique<Win32Picture>(site, source);
}
