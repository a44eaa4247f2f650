// The link test through a network serial port: zephra-sim echoing at 115200 bit/s on a
// pseudo-terminal, served by ser2net on 127.0.0.1, against the same pseudo-terminal opened
// directly. Prints zephra-cli's figures for both, round after round, and the machine's load.
#include "tests/support/ChildProcess.h"
#include "tests/support/Ser2netServer.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

int main(int argc, char **argv)
{
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
    char pattern[] = "/tmp/remote-link-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    setenv("ZEPHRA_PORTS", dir.c_str(), 1);
    ChildProcess sim(ZEPHRA_SIM_PROGRAM,
                     {"--ports", dir, "--name", "COM1", "--switch", "run", "--pace", "115200"});
    const std::string pty = sim.line();
    sim.line(); // "ready"
    const Ser2netServer server(dir, pty, "115200n81");
    std::ofstream(dir + "/COM2") << server.url() << "\n";

    for (int round = 0; round < rounds; ++round) {
        for (const char *name : {"COM1", "COM2"}) {
            ChildProcess run(ZEPHRA_CLI_PROGRAM,
                             {"link", name, "--baud", "115200", "--count", "1000"});
            const int status = run.finish();
            std::cout << (name[3] == '1' ? "local pty: " : "ser2net:   ") << "exit " << status
                      << "\n"
                      << run.out << run.err;
        }
    }
    std::ifstream load("/proc/loadavg");
    std::string figures;
    std::getline(load, figures);
    std::cout << "load average: " << figures << std::endl;
    sim.signal(SIGTERM);
    sim.finish();
    std::remove((dir + "/ser2net.yaml").c_str());
    std::remove((dir + "/COM2").c_str());
    ::rmdir(dir.c_str());
    return 0;
}
