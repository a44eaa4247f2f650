// The link test's round-trip chart in GDI: the scales of link/ChartScale.h, returned packets
// as dots, damaged ones as squares, lost ones as crosses above the plot, those beyond the
// scale as carets at its top edge.
#include "framework/controls/ChartScaleOf.h"
#include "framework/controls/Containers.h"
#include "framework/win32/Accessible.h"
#include "framework/win32/Controls.h"
#include "framework/win32/MainFormLayout.h"
#include "framework/win32/WideText.h"
#include "link/ChartScale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

std::string number(double value, int digits)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    return text;
}

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

    void setPoints(std::vector<Point> points, double endSeconds) override
    {
        m_points = std::move(points);
        m_end = endSeconds;
        m_scale = chartScaleOf(m_points, endSeconds);
        InvalidateRect(m_window, nullptr, TRUE);
    }
    void clear() override { setPoints({}, 0); }
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
        const RECT area{client.left + 4, client.top + 4, client.right - 4, client.bottom - 4};
        HGDIOBJ oldFont = SelectObject(dc, m_font);
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        SetBkMode(dc, TRANSPARENT);
        // Scale texts on the left, the time span along the bottom.
        const std::string top = number(m_scale.topMilliseconds, 6) + " ms";
        const int left = area.left + textWidth(dc, top) + 6;
        const int bottom = area.bottom - metrics.tmHeight;
        const int plotTop = area.top + metrics.tmHeight / 2 + 8; // room for the lost marks
        const RECT plot{left, plotTop, area.right, bottom};
        if (plot.right - plot.left < 10 || plot.bottom - plot.top < 10) {
            SelectObject(dc, oldFont);
            return;
        }
        HPEN grey = CreatePen(PS_SOLID, 1, RGB(0xa0, 0xa0, 0xa4));
        HGDIOBJ oldPen = SelectObject(dc, grey);
        HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
        Rectangle(dc, plot.left, plot.top, plot.right, plot.bottom);
        const int middle = (plot.top + plot.bottom) / 2;
        MoveToEx(dc, plot.left, middle, nullptr);
        LineTo(dc, plot.right, middle);
        SetTextColor(dc, RGB(0, 0, 0));
        text(dc, area.left, plot.top - metrics.tmAscent / 2, top);
        text(dc, area.left, plot.bottom - metrics.tmHeight, "0");
        text(dc, plot.left, bottom, "-" + number(m_scale.spanSeconds, 3) + " s");
        text(dc, plot.right - textWidth(dc, "now"), bottom, "now");

        // The points go inside the frame's lines, and the marks are cut there.
        const RECT inside{plot.left + 1, plot.top + 1, plot.right - 1, plot.bottom - 1};
        const RECT lostStrip{inside.left, area.top, inside.right, plot.top};
        const int insideWidth = inside.right - inside.left,
                  insideHeight = inside.bottom - inside.top;
        const auto x = [&](double seconds) {
            return inside.left +
                   static_cast<int>(std::lround((seconds - m_scale.startSeconds) /
                                                m_scale.spanSeconds * (insideWidth - 1)));
        };
        const auto y = [&](double milliseconds) {
            const double share = std::clamp(milliseconds / m_scale.topMilliseconds, 0.0, 1.0);
            return inside.bottom - 1 - static_cast<int>(std::lround(share * (insideHeight - 1)));
        };
        HPEN blue = CreatePen(PS_SOLID, 2, RGB(0x00, 0x40, 0xc0));
        HPEN orange = CreatePen(PS_SOLID, 2, RGB(0xc0, 0x70, 0x00));
        HPEN thinOrange = CreatePen(PS_SOLID, 1, RGB(0xc0, 0x70, 0x00));
        HPEN red = CreatePen(PS_SOLID, 2, RGB(0xff, 0x00, 0x00));
        HBRUSH dot = CreateSolidBrush(RGB(0x00, 0x40, 0xc0));
        const auto clip = [&](const RECT &rect) {
            HRGN region = CreateRectRgnIndirect(&rect);
            SelectClipRgn(dc, region);
            DeleteObject(region);
        };
        for (const Point &point : m_points) {
            if (point.seconds < m_scale.startSeconds || point.seconds > m_end)
                continue;
            const int px = x(point.seconds);
            if (point.mark != Mark::Lost && m_scale.isAbove(point.milliseconds)) {
                // Beyond the scale: a caret against the top edge, in the colour of its kind.
                clip(inside);
                SelectObject(dc, point.mark == Mark::Returned ? blue : orange);
                const POINT caret[] = {
                    {px - 4, inside.top + 5}, {px, inside.top + 1}, {px + 4, inside.top + 5}};
                Polyline(dc, caret, 3);
                continue;
            }
            const int py = point.mark == Mark::Lost ? plot.top - 5 : y(point.milliseconds);
            switch (point.mark) {
            case Mark::Returned: {
                clip(inside);
                const RECT cell{px - 1, py - 1, px + 2, py + 2};
                FillRect(dc, &cell, dot);
                break;
            }
            case Mark::Damaged:
                clip(inside);
                SelectObject(dc, thinOrange);
                Rectangle(dc, px - 2, py - 2, px + 3, py + 3);
                break;
            case Mark::Lost:
                clip(lostStrip);
                SelectObject(dc, red);
                MoveToEx(dc, px - 3, py - 3, nullptr);
                LineTo(dc, px + 4, py + 4);
                MoveToEx(dc, px - 3, py + 3, nullptr);
                LineTo(dc, px + 4, py - 4);
                break;
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
    double m_end = 0;
    radio::ChartScale m_scale;
    HFONT m_font = nullptr;
    AccessibleText m_accessible;
};

} // namespace

std::unique_ptr<Win32Control> makeRoundTripChart(const ControlSite &site)
{
    return std::make_unique<Win32RoundTripChart>(site);
}
