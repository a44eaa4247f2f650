#include "serial/ComEvents.h"

#include "serial/settings/ComDeviceCodes.h"

DWORD EventSetToMask(TComEvents events)
{
    return eventsToMask(events);
}

TComEvents MaskToEventSet(DWORD mask)
{
    return maskToEvents(mask);
}

WPARAM eventMessageCode(TComEvent event)
{
    return comEventMask(event);
}

bool eventOfMessageCode(WPARAM code, TComEvent &event)
{
    for (TComEvent candidate : reactionOrder) {
        if (comEventMask(candidate) == code) {
            event = candidate;
            return true;
        }
    }
    return false;
}
