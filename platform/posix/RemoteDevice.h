// A serial port on another machine, reached over TCP with Telnet's COM-PORT option, as the
// device behind a comm port. The port's own machinery (queues, events, time-outs) runs as for
// a local device; this side carries its calls over the network:
// - opening connects within 3 s in all (name look-up included) and negotiates binary
//   transmission and COM-PORT; a host name that gives no address (in that time) fails with
//   53, a server that cannot be reached with 2, one that refuses COM-PORT with 50;
// - settings are sent as SET-BAUDRATE, -DATASIZE, -PARITY, -STOPSIZE and -CONTROL, and the
//   server's answers are waited for (2 s at most): a value it answers otherwise is refused
//   (EINVAL) and the previous settings are sent again; DTR, RTS and break go as SET-CONTROL
//   without waiting;
// - modem lines are the last NOTIFY-MODEMSTATE (all low until one comes), line errors and
//   breaks are counted from NOTIFY-LINESTATE, purges are PURGE-DATA;
// - a connection that ends or fails reads as a device that has gone.
// What the server cannot tell is not known here: when bytes have left the far UART, and what
// the far end still queues. The output queue is what has not yet left this machine (our
// buffer and the socket's unsent bytes, counted after 0xFF doubling), so a write completes,
// and EV_TXEMPTY comes, once its bytes are on the network.
#pragma once

#include "platform/ComNames.h"
#include "platform/posix/CommDevice.h"

#include <memory>

std::unique_ptr<CommDevice> openRemoteDevice(const RemotePortAddress &address, DWORD &error);
