// Ctrl+C and a termination request: the first one calls the handler (which only sets a flag),
// a second one ends the program at once.
#pragma once

void onStopRequest(void (*handler)(int));
