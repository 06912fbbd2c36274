#include "bench/benches.h"

namespace bench {

const std::vector<Bench>& registry()
{
    static const std::vector<Bench> all = {};
    return all;
}

} // namespace bench
