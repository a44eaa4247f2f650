// The test tab's send side beyond the plain SEND TEXT: the line end and escapes of the send
// line, a file sent at the line's pace, the send line repeated. The options live in the send
// line's and the send box's menus and are remembered with the tab's other options; the runs
// show in the strip above the send box, which also stops them. One run at a time.
#include "app/MainForm.h"

#include "app/terminal/SendRun.h"
#include "app/terminal/TestTabOptions.h"
#include "framework/core/Exception.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// A menu choice over a stored number: its title, its items and the number each stands for.
struct NumberChoice
{
    const char *name;
    const char *title;
    std::vector<std::string> items;
    std::vector<int> values;
};

const NumberChoice LineEndChoice{
    "LineEnd", "&Line end", {"&None", "&CR", "&LF", "C&R LF"}, {0, 1, 2, 3}};
const NumberChoice EscapesChoice{
    "SendEscapes", "&Escapes (\\xNN \\r \\n \\t \\\\)", {"&Off", "O&n"}, {0, 1}};
const NumberChoice RepeatEveryChoice{"RepeatEveryMs",
                                     "Repeat &every",
                                     {"100 ms", "250 ms", "500 ms", "1 s", "2 s", "5 s"},
                                     {100, 250, 500, 1000, 2000, 5000}};
const NumberChoice RepeatTimesChoice{"RepeatTimes",
                                     "Repeat &times",
                                     {"&Until stopped", "2", "5", "10", "100", "1000"},
                                     {0, 2, 5, 10, 100, 1000}};
const NumberChoice LineDelayChoice{"LineDelayMs",
                                   "&Delay after line end",
                                   {"&None", "10 ms", "20 ms", "50 ms", "100 ms", "500 ms"},
                                   {0, 10, 20, 50, 100, 500}};

// The send line's menu: choices 0 to 3; the send box's: line end, delay, then the command.
const NumberChoice *const LineChoices[] = {&LineEndChoice, &EscapesChoice, &RepeatEveryChoice,
                                           &RepeatTimesChoice};
const NumberChoice *const BoxChoices[] = {&LineEndChoice, &LineDelayChoice};
constexpr int SendFileCommand = 2;

MenuChoice menuChoice(const NumberChoice &choice, int value)
{
    const auto at = std::find(choice.values.begin(), choice.values.end(), value);
    return {choice.title, choice.items,
            at == choice.values.end() ? -1 : static_cast<int>(at - choice.values.begin())};
}

int &optionOf(SendRun &run, const NumberChoice &choice, int &escapes, int &lineEnd)
{
    if (&choice == &LineEndChoice)
        return lineEnd;
    if (&choice == &EscapesChoice)
        return escapes;
    if (&choice == &RepeatEveryChoice)
        return run.repeatEveryMs;
    if (&choice == &RepeatTimesChoice)
        return run.repeatTimes;
    return run.lineDelayMs;
}

std::string baseName(const std::string &path)
{
    return path.substr(path.find_last_of("/\\") + 1);
}

// The strip's text about a file: the name is cut short where the whole would not fit the
// strip (about 38 characters).
std::string fileProgress(const std::string &before, const std::string &name,
                         const std::string &after)
{
    constexpr std::size_t Room = 38;
    const std::size_t taken = before.size() + after.size() + 2;
    const std::size_t left = std::max<std::size_t>(Room > taken ? Room - taken : 0, 4);
    const std::string shown = name.size() <= left ? name : name.substr(0, left - 2) + "..";
    return before + shown + ": " + after;
}

} // namespace

void TMainForm::bindSendRun()
{
    m_send = std::make_unique<SendRun>();
    m_sendTimer = m_window->createTimer();
    m_sendTimer->setEnabled(false);
    m_sendTimer->onTimer = [this](Timer *) { stepSendRun(); };

    int escapes = 0, lineEnd = 0;
    for (const NumberChoice *choice : LineChoices) {
        if (const auto stored = testtab::storedOption(choice->name))
            optionOf(*m_send, *choice, escapes, lineEnd) = *stored;
    }
    if (const auto stored = testtab::storedOption(LineDelayChoice.name))
        m_send->lineDelayMs = *stored;
    m_send->lineEnd = static_cast<terminal::LineEnd>(std::clamp(lineEnd, 0, 3));
    m_send->escapes = escapes != 0;
    m_send->repeatEveryMs = std::max(m_send->repeatEveryMs, 1);
    m_send->repeatTimes = std::max(m_send->repeatTimes, 0);
    m_send->lineDelayMs = std::max(m_send->lineDelayMs, 0);
    showSendOptions();

    EditSendRun->onChoose = [this](Control *, int choice, int item) {
        chooseSendOption(false, choice, item);
    };
    MemoSendRun->onChoose = [this](Control *, int choice, int item) {
        if (choice == SendFileCommand)
            SendFileRunClick(MemoSendRun);
        else
            chooseSendOption(true, choice, item);
    };
    SendFileRun->onClick = [this](Control *sender) { SendFileRunClick(sender); };
    RepeatRun->onClick = [this](Control *sender) { RepeatRunClick(sender); };
    StopSendRun->onClick = [this](Control *sender) { StopSendRunClick(sender); };
}

void TMainForm::showSendOptions()
{
    int escapes = m_send->escapes ? 1 : 0, lineEnd = static_cast<int>(m_send->lineEnd);
    std::vector<MenuChoice> line;
    for (const NumberChoice *choice : LineChoices)
        line.push_back(menuChoice(*choice, optionOf(*m_send, *choice, escapes, lineEnd)));
    EditSendRun->setChoices(std::move(line));
    std::vector<MenuChoice> box;
    for (const NumberChoice *choice : BoxChoices)
        box.push_back(menuChoice(*choice, optionOf(*m_send, *choice, escapes, lineEnd)));
    box.push_back({"Send &file...", {}, -1});
    MemoSendRun->setChoices(std::move(box));
}

void TMainForm::chooseSendOption(bool sendBox, int index, int item)
{
    const NumberChoice &choice = sendBox ? *BoxChoices[index] : *LineChoices[index];
    int escapes = m_send->escapes ? 1 : 0, lineEnd = static_cast<int>(m_send->lineEnd);
    const int value = choice.values[static_cast<std::size_t>(item)];
    optionOf(*m_send, choice, escapes, lineEnd) = value;
    m_send->lineEnd = static_cast<terminal::LineEnd>(lineEnd);
    m_send->escapes = escapes != 0;
    // The line end shows in both menus.
    showSendOptions();

    testtab::storeOption(choice.name, value);
}

std::int32_t TMainForm::writeRun(std::string_view bytes)
{
    const std::int32_t written =
        ComPort1->Write(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    m_bytesSent += static_cast<std::uint64_t>(std::max(written, 0));
    echoSent(bytes.substr(0, static_cast<std::size_t>(std::max(written, 0))));
    return written;
}

std::string TMainForm::sendLineBytes() const
{
    const std::string line = EditSendRun->text();
    std::string bytes = line;
    if (m_send->escapes) {
        const terminal::Decoded decoded = terminal::decodeEscapes(line);
        if (!decoded.ok())
            throw Exception("The send line has a malformed escape at character " +
                                std::to_string(decoded.errorAt) + ": \"" + decoded.escape +
                                "\". Nothing was sent.",
                            "Escapes are \\xNN (two hex digits), \\r, \\n, \\t and \\\\.");
        bytes = decoded.bytes;
    }
    return bytes.append(terminal::lineEndBytes(m_send->lineEnd));
}

std::string_view TMainForm::sendLineEnd() const
{
    return terminal::lineEndBytes(m_send->lineEnd);
}

bool TMainForm::sendIsPlain() const
{
    return m_send->plain();
}

void TMainForm::SendFileRunClick(Control *)
{
    if (const auto path = askOpenFileName("Send file", "All files (*)"))
        sendRunFile(*path);
}

void TMainForm::sendRunFile(const std::string &fileName)
{
    if (m_send->kind != SendRun::Kind::None)
        return;
    std::string bytes;
    std::FILE *file = std::fopen(fileName.c_str(), "rb");
    bool read = file != nullptr;
    for (char buffer[65536]; read;) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file);
        bytes.append(buffer, got);
        if (got < sizeof buffer) {
            read = std::ferror(file) == 0;
            break;
        }
    }
    const int reason = errno;
    if (file != nullptr)
        std::fclose(file);
    if (!read)
        throw Exception("Cannot read the file " + fileName + ": " + std::strerror(reason) + ".");
    m_send->kind = SendRun::Kind::File;
    m_send->name = baseName(fileName);
    m_send->bytes = std::move(bytes);
    m_send->pacer.emplace(m_send->bytes, ComPort1->CustomBaudRate(), m_send->lineDelayMs,
                          terminal::SendPacer::Clock::now());
    showSendRun();
    stepSendRun();
}

void TMainForm::RepeatRunClick(Control *)
{
    if (m_send->kind != SendRun::Kind::None)
        return;
    // A malformed escape starts nothing.
    m_send->bytes = sendLineBytes();
    m_send->kind = SendRun::Kind::Repeat;
    m_send->copies = 0;
    m_send->start = std::chrono::steady_clock::now();
    showSendRun();
    stepSendRun();
}

void TMainForm::StopSendRunClick(Control *)
{
    endSendRun("Stopped");
}

void TMainForm::stepSendRun()
{
    SendRun &run = *m_send;
    if (run.kind == SendRun::Kind::None)
        return;
    try {
        if (run.kind == SendRun::Kind::File) {
            terminal::SendPacer &pacer = *run.pacer;
            const terminal::SendPacer::Piece piece = pacer.next(terminal::SendPacer::Clock::now());
            if (piece.size != 0) {
                const std::int32_t written =
                    writeRun(std::string_view(run.bytes).substr(piece.offset, piece.size));
                pacer.written(static_cast<std::size_t>(std::max(written, 0)),
                              terminal::SendPacer::Clock::now());
                showCounters();
            }
            if (pacer.done()) {
                endSendRun("Sent");
                return;
            }
            SendProgressRun->setCaption(fileProgress("Sending ", run.name,
                                                     std::to_string(pacer.sent()) + " of " +
                                                         std::to_string(pacer.total()) + " bytes"));
            m_sendTimer->startOnce(piece.size != 0 ? terminal::SendPacer::kTickMs : piece.waitMs);
            return;
        }
        writeRun(run.bytes);
        ++run.copies;
        showCounters();
        if (run.repeatTimes > 0 && run.copies >= run.repeatTimes) {
            endSendRun("Sent");
            return;
        }
        SendProgressRun->setCaption(
            "Repeating: " + std::to_string(run.copies) +
            (run.repeatTimes > 0 ? " of " + std::to_string(run.repeatTimes) : std::string()));
        // Each copy is due at its own time from the start, so the interval does not drift.
        const auto due = run.start + std::chrono::milliseconds(
                                         static_cast<std::int64_t>(run.repeatEveryMs) * run.copies);
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
            due - std::chrono::steady_clock::now());
        m_sendTimer->startOnce(static_cast<int>(std::max<std::int64_t>(wait.count(), 1)));
    } catch (...) {
        endSendRun("Stopped by an error:");
        throw;
    }
}

void TMainForm::endSendRun(const std::string &how)
{
    SendRun &run = *m_send;
    if (run.kind == SendRun::Kind::None)
        return;
    m_sendTimer->setEnabled(false);
    if (run.kind == SendRun::Kind::File) {
        const std::size_t sent = run.pacer->sent(), total = run.pacer->total();
        SendProgressRun->setCaption(
            fileProgress(how + " ", run.name,
                         std::to_string(sent) +
                             (sent == total ? "" : " of " + std::to_string(total)) + " bytes"));
    } else {
        SendProgressRun->setCaption(how + " " + std::to_string(run.copies) +
                                    (run.copies == 1 ? " copy" : " copies"));
    }
    run.kind = SendRun::Kind::None;
    run.pacer.reset();
    run.bytes.clear();
    run.bytes.shrink_to_fit();
    showSendRun();
}

void TMainForm::showSendRun()
{
    if (!m_send)
        return;
    const bool running = m_send->kind != SendRun::Kind::None;
    // Sending is open to the strip while SEND TEXT is.
    SendFileRun->setEnabled(!running && SendStringRun->enabled());
    RepeatRun->setEnabled(!running && SendStringRun->enabled());
    StopSendRun->setEnabled(running);
}
