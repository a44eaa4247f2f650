#include "cli/BenchSlot.h"

#include "cli/Commands.h"
#include "cli/ReceiptLog.h"
#include "cli/Report.h"
#include "framework/core/Format.h"
#include "serial/EComPort.h"

#include <algorithm>
#include <iostream>
#include <thread>
#include <vector>

namespace cli {

std::atomic<bool> Bench::stopRequested{false};

namespace {

constexpr auto PollPause = std::chrono::milliseconds(250);

struct Stopped
{
};

void checkStop()
{
    if (Bench::stopping())
        throw Stopped{};
}

// Sleeps for PollPause; Stopped when a stop is requested meanwhile.
void pause()
{
    const auto end = std::chrono::steady_clock::now() + PollPause;
    while (std::chrono::steady_clock::now() < end) {
        checkStop();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    checkStop();
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

void Bench::print(const std::string &slot, const std::string &line)
{
    const std::lock_guard<std::mutex> lock(m_outputMutex);
    std::cout << (m_labelled ? slot + "\t" : std::string()) << line << std::endl;
}

void Bench::say(const std::string &slot, const std::string &line)
{
    const std::lock_guard<std::mutex> lock(m_outputMutex);
    std::cerr << (m_labelled ? slot + ": " : std::string()) << line << std::endl;
}

void Bench::stopForLog(const std::string &reason)
{
    m_logFailed = true;
    stopRequested = true;
    const std::lock_guard<std::mutex> lock(m_outputMutex);
    std::cerr << "zephra-cli: " << reason << "; the bench stops." << std::endl;
}

void BenchSlot::run()
{
    try {
        for (;;) {
            const std::unique_ptr<ModuleLink> link = connect();
            try {
                serve(*link);
            } catch (const EComPort &) {
                m_lost = true;
                say("adapter gone");
            }
        }
    } catch (const Stopped &) {
        if (m_busy && !m_bench.logFailed())
            say("Stopped while a module was being configured; it is not verified.");
    }
}

std::unique_ptr<ModuleLink> BenchSlot::connect()
{
    std::string lastError;
    for (;; pause()) {
        checkStop();
        // After a loss, an adapter with a by-path name is looked for by that name alone: the
        // slot's COM name may lead to another slot's adapter by now.
        const bool byPath = m_lost && !m_names.byPath.empty();
        const std::string name = byPath ? comNameFor(m_names.byPath) : m_port;
        if (name.empty())
            continue;
        std::unique_ptr<ModuleLink> link;
        try {
            link = std::make_unique<ModuleLink>(name);
        } catch (const EComPort &e) {
            // Shown once each, so that a port that can never open (no permission, held by
            // another program) does not keep the slot waiting in silence.
            if (!m_lost && e.message() != lastError) {
                lastError = e.message();
                const std::string text = portErrorText(e);
                say(text.substr(0, text.size() - 1));
            }
            continue;
        }
        AdapterNames names = adapterNames(name);
        // The name may have moved on between the look-up and the open.
        if (byPath && names.byPath != m_names.byPath)
            continue;
        link->setBeforeCommand(checkStop);
        if (m_lost)
            say(name == m_port ? "adapter back" : "adapter back as " + name);
        m_lost = false;
        m_current = name;
        m_names = std::move(names);
        return link;
    }
}

void BenchSlot::serve(ModuleLink &link)
{
    for (;;) {
        Clock::time_point start;
        std::string firmware;
        for (;; pause()) {
            start = Clock::now();
            try {
                firmware = link.readFirmware();
                break;
            } catch (const NoAnswer &) {
            }
        }
        configure(link, firmware, start);
        // The module stays until it stops answering; it is not configured again.
        try {
            for (;;) {
                pause();
                link.readFirmware();
            }
        } catch (const NoAnswer &) {
        }
    }
}

void BenchSlot::configure(ModuleLink &link, const std::string &firmware, Clock::time_point start)
{
    m_busy = true;
    Receipt receipt;
    try {
        receipt.before = link.readSettings();
        receipt.after = writeAndVerify(link, m_bench.profile(), receipt.differences);
    } catch (const NoAnswer &) {
        finish(firmware, "FAIL no answer", NoReply, secondsSince(start));
        return;
    } catch (const EComPort &) {
        finish(firmware, "FAIL port error", PortError, secondsSince(start));
        throw;
    }
    receipt.seconds = secondsSince(start);
    if (ReceiptLog *log = m_bench.log()) {
        receipt.time = std::chrono::system_clock::now();
        receipt.port = m_current;
        receipt.device = m_names;
        receipt.firmware = firmware;
        receipt.profile = m_bench.profileId();
        try {
            log->append(receiptLine(receipt));
        } catch (const EReceiptLog &e) {
            m_bench.stopForLog(e.message() + " (the module on " + m_port + " is not recorded)");
            m_status = std::max(m_status, int(PortError));
            throw Stopped{};
        }
    }
    const bool pass = receipt.differences.empty();
    finish(firmware, pass ? "pass" : "FAIL", pass ? Done : Mismatch, receipt.seconds);
    for (const std::string &finding : receipt.differences)
        say(finding);
}

void BenchSlot::finish(const std::string &firmware, const std::string &verdict, int status,
                       double seconds)
{
    m_busy = false;
    m_bench.print(m_port,
                  firmwareText(firmware) + "\t" + verdict + "\t" + formatText("%.2f s", seconds));
    (status == Done ? m_passes : m_fails) += 1;
    m_status = std::max(m_status, status);
}

} // namespace cli
