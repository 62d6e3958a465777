// tq50r-sim: simulated TQ50R devices on loopback, for trying and testing the
// application without hardware.
#include "sim_options.h"
#include "simulator.h"
#include "tq50r_version.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace tq50r::sim;
    const std::vector<std::string> args(argv + 1, argv + argc);
    const ParsedOptions parsed = parseOptions(args);
    if (!parsed.error.empty()) {
        std::cerr << "tq50r-sim: " << parsed.error << "\n(see --help)\n";
        return 2;
    }
    if (parsed.options.help) {
        std::cout << helpText();
        return 0;
    }
    if (parsed.options.version) {
        std::cout << "tq50r-sim " TQ50R_VERSION "\n";
        return 0;
    }
    Simulator simulator(parsed.options, std::cout, std::cerr);
    if (!simulator.start()) {
        return 1;
    }
    simulator.run();
    std::cout << "stopped" << std::endl;
    return 0;
}
