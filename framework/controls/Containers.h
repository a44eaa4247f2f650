// The tab control, the picture and the link test's round-trip chart.
#pragma once

#include "framework/controls/Control.h"

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

class RoundTripChart : public virtual Control
{
public:
    enum class Mark { Returned, Damaged, Lost };
    struct Point
    {
        double seconds = 0; // when the packet was sent, on the test's clock
        double milliseconds = 0;
        Mark mark = Mark::Returned;
    };
    // The points to show, by time, and the time at the chart's right edge.
    virtual void setPoints(std::vector<Point> points, double endSeconds) = 0;
    virtual void clear() = 0;
    // What a screen reader says of the chart (the figures it shows, in words).
    virtual void setDescription(const std::string &description) = 0;
};
