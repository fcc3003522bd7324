// The program's own command line.
#pragma once

#include <string>
#include <vector>

namespace corvane {

// The arguments after the program name, split by the system's rules (quotes included), UTF-8.
std::vector<std::string> CommandArguments();

}  // namespace corvane
