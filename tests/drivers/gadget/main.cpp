// driver-gadget: a USB serial adapter of our own, played in the rig's guest on dummy_hcd
// through FunctionFS, so that the kernel's real driver for its chip binds to it.
//
//   driver-gadget CHIP UDC        CHIP: ft232 cdcacm pl2303 ch340 cp2102 (see Chip.h)
//
// It sets up a configfs gadget with the chip's ids, answers the driver's control requests,
// and takes one command a line on stdin, answering one line on stdout ("ok ..." or
// "error ..."). The second word of each command names the line and is not looked at, so
// that the suite can talk to the rig's far ends and these alike:
//   role L echo|sink|hold   starts afresh; hold stops reading what the host sends
//   got L                   count and fingerprint of what came since the role was set
//   send L HEX              bytes to the host
//   error L p|f|o|b HEX     bytes with a parity, framing or overrun error; b a break
//   modem L [cts] [dsr] [ri] [dcd]   the inputs that are on from now
//   temt L 0|1              whether the transmitter reports itself empty
//   state L                 what the driver programmed
//   unplug L / plug L       unbinds / binds the gadget's device controller
// Prints "ready" once the device is bound.
#include "tests/drivers/Fingerprint.h"
#include "tests/drivers/gadget/Chip.h"

#include <linux/usb/ch9.h>
#include <linux/usb/functionfs.h>

#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <endian.h>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

const std::string kConfigfs = "/sys/kernel/config";

struct Gadget
{
    std::mutex mutex;
    std::condition_variable changed;
    std::unique_ptr<Chip> chip;
    FarInputs inputs;
    std::string received;
    enum class Role { Sink, Echo, Hold } role = Role::Sink;
    std::deque<Chip::Transfer> outgoing;
    bool enabled = false;
    bool receiverParked = false; // the receive loop is waiting, with no read queued
    pthread_t receiver{};
    int ep0 = -1;
    int pipeFd[128] = {}; // by pipe letter
    std::string directory, udc;
};

bool writeFile(const std::string &path, const std::string &text)
{
    std::ofstream out(path);
    out << text;
    out.close();
    return bool(out);
}

std::string hex4(unsigned v)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%04x", v);
    return text;
}

std::string fromHex(const std::string &hex)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out += char(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

void putLe32(std::string &out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out += char((v >> (8 * i)) & 0xff);
}

bool writeAll(int fd, const std::string &bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

// FunctionFS wants the descriptors, then the strings, on ep0 before the endpoints exist.
bool describe(Gadget &g)
{
    const std::string descs = g.chip->descriptors();
    int count = 0;
    for (std::size_t at = 0; at < descs.size(); at += std::uint8_t(descs[at]))
        ++count;
    std::string head;
    putLe32(head, FUNCTIONFS_DESCRIPTORS_MAGIC_V2);
    putLe32(head, std::uint32_t(12 + 4 + descs.size()));
    putLe32(head, FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_ALL_CTRL_RECIP);
    putLe32(head, std::uint32_t(count));
    if (!writeAll(g.ep0, head + descs))
        return false;
    const std::string text = "serial";
    std::string strings;
    putLe32(strings, FUNCTIONFS_STRINGS_MAGIC);
    putLe32(strings, std::uint32_t(16 + 2 + text.size() + 1));
    putLe32(strings, 1); // strings
    putLe32(strings, 1); // languages
    strings += std::string{0x09, 0x04} + text + '\0';
    return writeAll(g.ep0, strings);
}

bool setUp(Gadget &g, const std::string &name)
{
    if (::access((kConfigfs + "/usb_gadget").c_str(), F_OK) != 0)
        ::mount("none", kConfigfs.c_str(), "configfs", 0, nullptr);
    g.directory = kConfigfs + "/usb_gadget/" + name;
    ::mkdir(g.directory.c_str(), 0755);
    writeFile(g.directory + "/idVendor", hex4(g.chip->vendor()));
    writeFile(g.directory + "/idProduct", hex4(g.chip->product()));
    writeFile(g.directory + "/bcdDevice", hex4(g.chip->release()));
    ::mkdir((g.directory + "/strings/0x409").c_str(), 0755);
    writeFile(g.directory + "/strings/0x409/serialnumber", "Z" + name);
    writeFile(g.directory + "/strings/0x409/product", name);
    ::mkdir((g.directory + "/configs/c.1").c_str(), 0755);
    const std::string function = g.directory + "/functions/ffs." + name;
    ::mkdir(function.c_str(), 0755);
    [[maybe_unused]] int linked =
        ::symlink(function.c_str(), (g.directory + "/configs/c.1/ffs." + name).c_str());
    const std::string mountPoint = "/dev/ffs-" + name;
    ::mkdir(mountPoint.c_str(), 0755);
    if (::mount(name.c_str(), mountPoint.c_str(), "functionfs", 0, nullptr) != 0 &&
        errno != EBUSY) {
        std::perror("driver-gadget: functionfs");
        return false;
    }
    g.ep0 = ::open((mountPoint + "/ep0").c_str(), O_RDWR);
    if (g.ep0 < 0 || !describe(g)) {
        std::perror("driver-gadget: ep0");
        return false;
    }
    const std::string pipes = g.chip->pipes();
    for (std::size_t i = 0; i < pipes.size(); ++i) {
        const std::string path = mountPoint + "/ep" + std::to_string(i + 1);
        g.pipeFd[int(pipes[i])] = ::open(path.c_str(), O_RDWR);
        if (g.pipeFd[int(pipes[i])] < 0) {
            std::perror(path.c_str());
            return false;
        }
    }
    return true;
}

bool bind(Gadget &g, bool on)
{
    return writeFile(g.directory + "/UDC", on ? g.udc : "\n");
}

// Queues the transfers; the sender thread hands them to the host in order.
void queue(Gadget &g, const std::vector<Chip::Transfer> &transfers)
{
    for (const Chip::Transfer &t : transfers)
        g.outgoing.push_back(t);
    g.changed.notify_all();
}

void answerSetup(Gadget &g, const usb_ctrlrequest &request)
{
    SetupPacket s;
    s.requestType = request.bRequestType;
    s.request = request.bRequest;
    s.value = le16toh(request.wValue);
    s.index = le16toh(request.wIndex);
    s.length = le16toh(request.wLength);
    std::string data(s.length, '\0');
    const bool in = s.requestType & USB_DIR_IN;
    // Held until the request is recorded: the host may ask for the state as soon as its
    // request completes, which is when the read below acknowledges it.
    std::unique_lock lock(g.mutex);
    if (!in) {
        // Reading takes the data stage (none when the length is 0) and acknowledges it.
        const ssize_t n = ::read(g.ep0, data.data(), data.size());
        data.resize(n > 0 ? std::size_t(n) : 0);
    }
    std::string reply;
    const bool ok = g.chip->control(s, data, reply, g.inputs);
    g.chip->countRequest();
    lock.unlock();
    if (in) {
        if (!ok) {
            [[maybe_unused]] ssize_t stall = ::read(g.ep0, nullptr, 0);
            return;
        }
        reply.resize(std::min<std::size_t>(reply.size(), s.length));
        [[maybe_unused]] ssize_t n = ::write(g.ep0, reply.data(), reply.size());
    }
}

void controlLoop(Gadget &g)
{
    usb_functionfs_event events[8];
    for (;;) {
        const ssize_t n = ::read(g.ep0, events, sizeof events);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        for (std::size_t i = 0; i < std::size_t(n) / sizeof events[0]; ++i) {
            if (events[i].type == FUNCTIONFS_SETUP) {
                answerSetup(g, events[i].u.setup);
            } else if (events[i].type == FUNCTIONFS_ENABLE ||
                       events[i].type == FUNCTIONFS_DISABLE) {
                std::lock_guard lock(g.mutex);
                g.enabled = events[i].type == FUNCTIONFS_ENABLE;
                g.changed.notify_all();
            }
        }
    }
}

void receiveLoop(Gadget &g)
{
    std::string buffer(4096, '\0');
    for (;;) {
        {
            std::unique_lock lock(g.mutex);
            g.receiverParked = true;
            g.changed.notify_all();
            g.changed.wait(lock, [&] { return g.enabled && g.role != Gadget::Role::Hold; });
            g.receiverParked = false;
        }
        // A hold interrupts this read (see hold()); what it got by then is kept.
        const ssize_t n = ::read(g.pipeFd[int('o')], buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            usleep(20000); // not enabled (unplugged): look again
            continue;
        }
        std::lock_guard lock(g.mutex);
        const std::string bytes(buffer.data(), std::size_t(n));
        g.received += bytes;
        if (g.role == Gadget::Role::Echo)
            queue(g, g.chip->data(bytes, g.inputs, LineError::None));
    }
}

// Sends queued transfers. A transfer whose length is a whole number of packets would not end
// the host's read, so its last byte goes on its own.
void sendLoop(Gadget &g)
{
    for (;;) {
        Chip::Transfer t;
        {
            std::unique_lock lock(g.mutex);
            g.changed.wait(lock, [&] { return g.enabled && !g.outgoing.empty(); });
            t = g.outgoing.front();
            g.outgoing.pop_front();
        }
        const int fd = g.pipeFd[int(t.pipe)];
        std::string bytes = t.bytes;
        std::string tail;
        if (t.pipe == 'i' && !bytes.empty() && bytes.size() % 64 == 0) {
            tail = bytes.substr(bytes.size() - 1);
            bytes.pop_back();
        }
        // A transfer that fails (the device was unplugged) is dropped.
        if (writeAll(fd, bytes) && !tail.empty())
            writeAll(fd, tail);
        // The driver handles a status in the transfer's completion; data right behind it
        // could be handed over first.
        if (t.pipe == 'n')
            usleep(20000);
    }
}

// Stops reading: a read already queued would take up to 4 KiB more, so it is interrupted
// (the signal's handler does nothing and restarts nothing) until the loop is parked.
void hold(Gadget &g, std::unique_lock<std::mutex> &lock)
{
    for (int i = 0; i < 200 && !g.receiverParked && g.receiver != pthread_t{}; ++i) {
        pthread_kill(g.receiver, SIGUSR1);
        g.changed.wait_for(lock, std::chrono::milliseconds(5));
    }
}

std::string stateText(Gadget &g)
{
    const LineSettings &s = g.chip->settings();
    std::ostringstream out;
    out << "speed=" << s.speed << " bits=" << s.dataBits << " parity=" << s.parity
        << " stop=" << s.stopBits << " dtr=" << s.dtr << " rts=" << s.rts << " breaks=" << s.breaks
        << " break=" << s.breakOn << " raises=" << s.raises << " requests=" << s.requests
        << " errors=" << (g.chip->errorsCarried().empty() ? "-" : g.chip->errorsCarried());
    return out.str();
}

std::string command(Gadget &g, const std::string &text)
{
    std::istringstream in(text);
    std::string verb, line, word;
    in >> verb >> line;
    std::unique_lock lock(g.mutex);
    if (verb == "role") {
        in >> word;
        g.received.clear();
        g.outgoing.clear();
        g.role = word == "echo"   ? Gadget::Role::Echo
                 : word == "hold" ? Gadget::Role::Hold
                                  : Gadget::Role::Sink;
        if (word != "echo" && word != "hold" && word != "sink")
            return "error unknown role '" + word + "'";
        g.changed.notify_all();
        if (g.role == Gadget::Role::Hold)
            hold(g, lock);
        return "ok";
    }
    if (verb == "got")
        return "ok " + std::to_string(g.received.size()) + " " + fingerprintOf(g.received);
    if (verb == "send") {
        in >> word;
        queue(g, g.chip->data(fromHex(word), g.inputs, LineError::None));
        return "ok";
    }
    if (verb == "error") {
        std::string kind;
        in >> kind >> word;
        const LineError error = kind == "p"   ? LineError::Parity
                                : kind == "f" ? LineError::Frame
                                : kind == "o" ? LineError::Overrun
                                : kind == "b" ? LineError::Break
                                              : LineError::None;
        if (error == LineError::None || g.chip->errorsCarried().find(kind) == std::string::npos)
            return "error not carried";
        queue(g, g.chip->data(fromHex(word), g.inputs, error));
        return "ok";
    }
    if (verb == "modem") {
        FarInputs next = g.inputs;
        next.cts = next.dsr = next.ri = next.dcd = false;
        while (in >> word) {
            next.cts |= word == "cts";
            next.dsr |= word == "dsr";
            next.ri |= word == "ri";
            next.dcd |= word == "dcd";
        }
        g.inputs = next;
        queue(g, g.chip->status(g.inputs));
        return "ok";
    }
    if (verb == "temt") {
        in >> word;
        g.inputs.transmitterEmpty = word == "1";
        queue(g, g.chip->status(g.inputs));
        return "ok";
    }
    if (verb == "state")
        return "ok " + stateText(g);
    if (verb == "unplug" || verb == "plug") {
        g.outgoing.clear();
        return bind(g, verb == "plug") ? "ok" : "error cannot write UDC";
    }
    return "error unknown command '" + verb + "'";
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: driver-gadget CHIP UDC\n");
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    Gadget g;
    g.chip = Chip::named(argv[1]);
    g.udc = argv[2];
    if (!g.chip) {
        std::fprintf(stderr, "driver-gadget: unknown chip %s\n", argv[1]);
        return 2;
    }
    if (!setUp(g, argv[1]))
        return 1;
    std::thread(controlLoop, std::ref(g)).detach();
    std::thread(sendLoop, std::ref(g)).detach();
    struct sigaction interrupt
    {
    };
    interrupt.sa_handler = [](int) {};
    sigaction(SIGUSR1, &interrupt, nullptr); // no SA_RESTART: a read ends with EINTR
    if (g.pipeFd[int('o')] > 0) {
        std::thread receiver(receiveLoop, std::ref(g));
        g.receiver = receiver.native_handle();
        receiver.detach();
    }
    if (!bind(g, true)) {
        std::fprintf(stderr, "driver-gadget: cannot bind %s\n", argv[2]);
        return 1;
    }
    std::cout << "ready" << std::endl;
    for (std::string text; std::getline(std::cin, text);)
        std::cout << command(g, text) << std::endl;
    bind(g, false);
    return 0;
}
