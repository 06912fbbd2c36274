#pragma once

#include <vector>

namespace bench {

struct Bench
{
    const char* name;
    int (*run)(int argc, char** argv);
};

// Every benchmark adds itself in benches.cpp.
const std::vector<Bench>& registry();

} // namespace bench
