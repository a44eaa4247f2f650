// The tab control, the picture and the link test's round-trip chart.
#pragma once

#include "framework/controls/Control.h"
#include "framework/core/ChartLayout.h"

#include <functional>
#include <vector>

class TabControl : public virtual Control
{
public:
    virtual int count() const = 0;
    virtual int activePage() const = 0;
    // Runs onChange when the page changes.
    virtual void setActivePage(int index) = 0;
    std::function<void(Sender)> onChange;
};

// A picture from the program's stored resources, named by its resource path.
class Picture : public virtual Control
{
public:
    virtual std::string source() const = 0;
};

// The link test's round-trip chart (framework/core/ChartLayout.h).
class RoundTripChart : public virtual Control
{
public:
    using Mark = RoundTripMark;
    using Point = RoundTripPoint;
    using Scale = RoundTripScale;
    // The points to show, by time, on the owner's axes.
    virtual void setPoints(std::vector<Point> points, const Scale &scale) = 0;
    // What a screen reader says of the chart (the figures it shows, in words).
    virtual void setDescription(const std::string &description) = 0;
};
