// mainFormLayout() from the table that layout-table.py generates from the stored form.
#include "framework/win32/MainFormLayout.h"

#include <charconv>
#include <map>
#include <string>

namespace generated {
#include "MainFormTable.h"
} // namespace generated

namespace {

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    if (text.empty())
        return parts;
    for (;;) {
        const std::size_t end = text.find(separator);
        parts.push_back(text.substr(0, end));
        if (end == std::string_view::npos)
            return parts;
        text.remove_prefix(end + 1);
    }
}

const generated::LayoutRow *storedRow(std::string_view name)
{
    for (const generated::LayoutRow &row : generated::kMainFormLayout) {
        if (name == row.name)
            return &row;
    }
    return nullptr;
}

int toInt(std::string_view text)
{
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

} // namespace

std::string_view layoutProperty(const LayoutRow &row, std::string_view key)
{
    const generated::LayoutRow *stored = storedRow(row.name);
    if (stored == nullptr)
        return {};
    for (std::string_view pair : split(stored->extra, ';')) {
        const std::size_t equals = pair.find('=');
        if (pair.substr(0, equals) == key && equals != std::string_view::npos)
            return pair.substr(equals + 1);
    }
    return {};
}

const std::vector<LayoutRow> &mainFormLayout()
{
    static const std::vector<LayoutRow> rows = [] {
        std::vector<LayoutRow> table;
        std::map<std::string_view, int> pagesOf; // tab control -> pages so far
        for (const generated::LayoutRow &stored : generated::kMainFormLayout) {
            LayoutRow row;
            row.className = stored.kind;
            row.name = stored.name;
            row.parent = stored.parent;
            row.x = stored.x;
            row.y = stored.y;
            row.width = stored.width;
            row.height = stored.height;
            row.caption = stored.caption;
            row.items = split(stored.items, '\n');
            row.minimum = stored.minimum;
            row.maximum = stored.maximum;
            row.position = toInt(layoutProperty(row, "value"));
            row.sorted = layoutProperty(row, "sorted") == "true";
            row.editable = layoutProperty(row, "editable") == "true";
            row.enabled = layoutProperty(row, "enabled") != "false";
            const generated::LayoutRow *parent = storedRow(stored.parent);
            if (parent != nullptr && std::string_view(parent->kind) == "TabControl")
                row.page = pagesOf[row.parent]++;
            table.push_back(row);
        }
        return table;
    }();
    return rows;
}
