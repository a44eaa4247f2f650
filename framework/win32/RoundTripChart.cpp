// The link test's round-trip chart in GDI, drawn as framework/core/ChartLayout.h lays it out.
#include "framework/controls/Containers.h"
#include "framework/win32/Accessible.h"
#include "framework/win32/Controls.h"
#include "framework/win32/MainFormLayout.h"
#include "framework/win32/WideText.h"

namespace {

class Win32RoundTripChart : public Win32Control, public virtual RoundTripChart
{
public:
    explicit Win32RoundTripChart(const ControlSite &site)
        : Win32Control(std::string(site.row->name))
    {
        create(site, className(), 0, WS_EX_CLIENTEDGE);
        m_font = site.font;
        m_accessible.role = ROLE_SYSTEM_CHART;
        m_accessible.name = layoutProperty(*site.row, "accessibleName");
    }

    void setPoints(std::vector<Point> points, const Scale &scale) override
    {
        m_points = std::move(points);
        m_scale = scale;
        InvalidateRect(m_window, nullptr, TRUE);
    }
    void setDescription(const std::string &description) override
    {
        m_accessible.description = description;
    }

private:
    static const wchar_t *className()
    {
        return windowClass(L"ZephraRoundTripChart", procedure,
                           static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto *self = dynamic_cast<Win32RoundTripChart *>(Win32Control::of(window));
        if (self != nullptr && message == WM_PAINT) {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            self->paint(dc);
            EndPaint(window, &paint);
            return 0;
        }
        if (self != nullptr && message == WM_SETFONT) {
            self->m_font = reinterpret_cast<HFONT>(wParam);
            InvalidateRect(window, nullptr, TRUE);
            return 0;
        }
        if (self != nullptr && message == WM_GETFONT)
            return reinterpret_cast<LRESULT>(self->m_font);
        if (self != nullptr && message == WM_GETOBJECT)
            return answerGetObject(window, wParam, lParam, self->m_accessible);
        return DefWindowProcW(window, message, wParam, lParam);
    }

    void text(HDC dc, int x, int y, const std::string &text) const
    {
        const std::wstring wide = toWide(text);
        TextOutW(dc, x, y, wide.c_str(), static_cast<int>(wide.size()));
    }
    int textWidth(HDC dc, const std::string &text) const
    {
        const std::wstring wide = toWide(text);
        SIZE size{};
        GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
        return size.cx;
    }

    void paint(HDC dc) const
    {
        RECT client{};
        GetClientRect(m_window, &client);
        HGDIOBJ oldFont = SelectObject(dc, m_font);
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        const ChartFont font{static_cast<int>(metrics.tmHeight), static_cast<int>(metrics.tmAscent),
                             [&](const std::string &text) { return textWidth(dc, text); }};
        const ChartLayout layout =
            layOutChart({client.left + 4, client.top + 4, client.right - 4, client.bottom - 4},
                        font, m_scale, m_points);
        if (layout.empty) {
            SelectObject(dc, oldFont);
            return;
        }
        SetBkMode(dc, TRANSPARENT);
        HPEN grey = CreatePen(PS_SOLID, 1, RGB(0xa0, 0xa0, 0xa4));
        HGDIOBJ oldPen = SelectObject(dc, grey);
        HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
        const ChartBox &plot = layout.plot;
        Rectangle(dc, plot.left, plot.top, plot.right, plot.bottom);
        MoveToEx(dc, plot.left, layout.middle, nullptr);
        LineTo(dc, plot.right, layout.middle);
        SetTextColor(dc, RGB(0, 0, 0));
        for (const ChartText &line : layout.texts)
            text(dc, line.x, line.y, line.text);

        HPEN blue = CreatePen(PS_SOLID, 2, RGB(0x00, 0x40, 0xc0));
        HPEN orange = CreatePen(PS_SOLID, 2, RGB(0xc0, 0x70, 0x00));
        HPEN thinOrange = CreatePen(PS_SOLID, 1, RGB(0xc0, 0x70, 0x00));
        HPEN red = CreatePen(PS_SOLID, 2, RGB(0xff, 0x00, 0x00));
        HBRUSH dot = CreateSolidBrush(RGB(0x00, 0x40, 0xc0));
        const auto clip = [&](const ChartBox &box) {
            HRGN region = CreateRectRgn(box.left, box.top, box.right, box.bottom);
            SelectClipRgn(dc, region);
            DeleteObject(region);
        };
        for (const ChartMark &mark : layout.marks) {
            const int x = mark.x, y = mark.y;
            clip(mark.shape == ChartMark::Shape::Cross ? layout.lostStrip : layout.inside);
            switch (mark.shape) {
            case ChartMark::Shape::Dot: {
                const RECT cell{x - 1, y - 1, x + 2, y + 2};
                FillRect(dc, &cell, dot);
                break;
            }
            case ChartMark::Shape::Square:
                SelectObject(dc, thinOrange);
                Rectangle(dc, x - 2, y - 2, x + 3, y + 3);
                break;
            case ChartMark::Shape::Cross:
                SelectObject(dc, red);
                MoveToEx(dc, x - 3, y - 3, nullptr);
                LineTo(dc, x + 4, y + 4);
                MoveToEx(dc, x - 3, y + 3, nullptr);
                LineTo(dc, x + 4, y - 4);
                break;
            case ChartMark::Shape::ReturnedCaret:
            case ChartMark::Shape::DamagedCaret: {
                SelectObject(dc, mark.shape == ChartMark::Shape::ReturnedCaret ? blue : orange);
                const POINT caret[] = {{x - 4, y + 4}, {x, y}, {x + 4, y + 4}};
                Polyline(dc, caret, 3);
                break;
            }
            }
        }
        SelectClipRgn(dc, nullptr);
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldFont);
        for (HGDIOBJ object : {static_cast<HGDIOBJ>(grey), static_cast<HGDIOBJ>(blue),
                               static_cast<HGDIOBJ>(orange), static_cast<HGDIOBJ>(thinOrange),
                               static_cast<HGDIOBJ>(red), static_cast<HGDIOBJ>(dot)})
            DeleteObject(object);
    }

    std::vector<Point> m_points;
    Scale m_scale;
    HFONT m_font = nullptr;
    AccessibleText m_accessible;
};

} // namespace

std::unique_ptr<Win32Control> makeRoundTripChart(const ControlSite &site)
{
    return std::make_unique<Win32RoundTripChart>(site);
}
