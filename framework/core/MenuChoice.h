// A choice a box's owner adds to its context menu: a submenu of exclusive items, the chosen
// one checked. Plain data; texts are Windows-1252, '&' before the access key.
#pragma once

#include <string>
#include <vector>

struct MenuChoice
{
    std::string title;
    std::vector<std::string> items;
    int chosen = 0;
};
