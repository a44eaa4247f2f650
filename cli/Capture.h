// zephra-cli capture: what arrives on a port, shown in one of the terminal views (as received,
// lines or hex; see terminal/RowFormer.h) on standard output as it becomes final, and, when
// asked, the raw bytes in a file exactly as received. The port is opened as the link test's
// (8N1, no flow control, DTR and RTS off). Output is in UTF-8, the bytes taken as
// Windows-1252 as the window shows them, and flushed at least once a second. Ends after
// --seconds, at Ctrl+C or SIGTERM (status 0) or when the port fails (its error, status 2);
// the open row is written in every case.
#pragma once

#include "terminal/RowFormer.h"

#include <string>

namespace cli {

struct CaptureOptions
{
    std::string port;
    int baud = 0;
    terminal::View view = terminal::View::Received;
    bool stamps = false; // absolute stamps, lines and hex views
    std::string rawFile; // none when empty
    double seconds = 0;  // 0: until stopped
};

// Port errors at opening and at reading leave as EComPort, after the output is complete.
int capture(const CaptureOptions &options);

} // namespace cli
