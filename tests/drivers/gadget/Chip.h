// One USB serial chip as the far end presents it to its kernel driver: the ids and endpoints
// it enumerates with, the answers to the driver's control requests (taken from what each
// driver sends at probe, open and set_termios), and how data, modem inputs and line status
// travel to the host in its protocol. A chip keeps the line settings the driver programmed.
// Not thread-safe: the gadget's lock covers every call.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct SetupPacket
{
    std::uint8_t requestType = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::uint16_t length = 0;
};

// What the host's driver programmed, as far as the chip's protocol carries it.
struct LineSettings
{
    std::uint32_t speed = 0; // bit/s; 0 until programmed
    int dataBits = 8;
    char parity = 'n'; // n o e m s
    int stopBits = 10; // tenths: 10, 15, 20
    bool dtr = false;
    bool rts = false;
    int breaks = 0; // times the driver switched a break on
    int raises = 0; // times DTR or RTS went on
    bool breakOn = false;
    int requests = 0; // control requests answered
};

// The far end's inputs as its chip reports them to the host.
struct FarInputs
{
    bool cts = false, dsr = false, ri = false, dcd = false;
    bool transmitterEmpty = true;
};

enum class LineError { None, Parity, Frame, Overrun, Break };

class Chip
{
public:
    // The chip's pipes towards the host: 'i' bulk IN, 'o' bulk OUT, 'n' interrupt IN.
    struct Transfer
    {
        char pipe;
        std::string bytes;
    };

    virtual ~Chip() = default;
    // ft232 cdcacm pl2303 ch340 cp2102; null for an unknown name.
    static std::unique_ptr<Chip> named(const std::string &name);

    virtual std::uint16_t vendor() const = 0;
    virtual std::uint16_t product() const = 0;
    virtual std::uint16_t release() const = 0;
    // The function's full-speed descriptors for FunctionFS, and the pipe of each endpoint
    // file ep1, ep2, ... in the order the descriptors name them.
    virtual std::string descriptors() const = 0;
    virtual std::string pipes() const = 0;

    // Answers a control request. For an IN request reply gets the data (the caller cuts it to
    // setup.length); for OUT, data holds what came. False stalls it.
    virtual bool control(const SetupPacket &setup, const std::string &data, std::string &reply,
                         const FarInputs &inputs) = 0;
    // The transfers that bring bytes to the host, each byte with the given line error (a
    // break sends one NUL in place of the bytes). In order; a transfer on the interrupt pipe
    // ahead of data applies to the data behind it.
    virtual std::vector<Transfer> data(const std::string &bytes, const FarInputs &inputs,
                                       LineError error) = 0;
    // The transfer that reports the inputs, if the protocol has one.
    virtual std::vector<Transfer> status(const FarInputs &inputs) = 0;
    // The errors the protocol carries to the host (letters p f o b), as the chip stands now.
    virtual std::string errorsCarried() const = 0;

    const LineSettings &settings() const { return m_settings; }
    void countRequest() { ++m_settings.requests; }

protected:
    void setLines(bool dtr, bool rts)
    {
        m_settings.raises += (dtr && !m_settings.dtr) + (rts && !m_settings.rts);
        m_settings.dtr = dtr;
        m_settings.rts = rts;
    }

protected:
    LineSettings m_settings;
};
