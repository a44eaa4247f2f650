// zephra-cli: reads and writes ZEPHRA-24 modules from scripts and on a production bench, over
// the same serial port component and module protocol as the window. Every argument, and a
// profile to apply, is checked before a port is opened.
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/Profile.h"
#include "cli/Report.h"
#include "framework/core/IniFile.h"
#include "serial/EComPort.h"

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::cout << cli::usageText();
        return cli::Done;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::cout << "zephra-cli " ZEPHRA_VERSION "\n";
        return cli::Done;
    }
    try {
        const cli::Invocation call = cli::readCommandLine({argv + 1, argv + argc});
        return call.command->run(call);
    } catch (const cli::UsageError &e) {
        std::cerr << "zephra-cli: " << e.message << "\nTry 'zephra-cli --help'.\n";
        return cli::Usage;
    } catch (const EProfile &e) {
        std::cerr << "zephra-cli: " << e.message() << "\n";
        return cli::Usage;
    } catch (const EIniFileException &e) {
        std::cerr << "zephra-cli: " << e.message() << "\n";
        return cli::Usage;
    } catch (const EComPort &e) {
        std::cerr << portErrorText(e);
        return cli::portErrorStatus(e);
    } catch (const NoAnswer &e) {
        std::cerr << "zephra-cli: " << e.message() << ".\n";
        return cli::NoReply;
    }
}
