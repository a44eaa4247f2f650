// The change test every settings property write starts with.
#pragma once

// Stores value in field and says true when it differs from what the field held.
template<typename T> bool storeIfChanged(T &field, T value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}
