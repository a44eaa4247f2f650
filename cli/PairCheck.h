// zephra-cli pair: will two modules talk? Both at SETUP; reads both and shows each rule that
// the module model (link/ModuleModel.h) says must hold between them, with both values in the
// command line's words and "ok" or "differs":
//   channel     A channel=7   B channel=7   ok
//   A->B ids    A tx-id=0A    B rx-id=0B    differs
// The both-ends rules first, then A to B, then B to A. With fix, B is written so that the pair
// talks both ways (radio::mendPartner), verified as write verifies, and the pair is checked
// again. Exit status 0 when the pair talks both ways, 4 when it does not (or B did not take a
// value); the others as for every command.
#pragma once

#include "cli/Commands.h"

#include <string>

namespace cli {

int pairModules(const std::string &portA, const std::string &portB, const Options &options);

} // namespace cli
