#include "bench/benches.h"

#include <cstdio>

namespace bench {

int runDraw(int, char**)
{
    std::printf("draw: not built yet\n");
    return 0;
}

} // namespace bench
