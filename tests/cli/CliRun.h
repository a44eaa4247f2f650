// One run of zephra-cli as a child process: its exit status and what it printed.
#pragma once

#include "tests/support/ChildProcess.h"

#include <string>
#include <vector>

struct CliRun
{
    int status;
    std::string out, err;
};

inline CliRun cli(std::vector<std::string> args)
{
    ChildProcess process(ZEPHRA_CLI_PROGRAM, std::move(args));
    const int status = process.finish();
    return {status, process.out, process.err};
}
