#include "bench/benches.h"

namespace bench {

const std::vector<Bench>& registry()
{
    static const std::vector<Bench> all = {
        {"draw", runDraw},
        {"import", runImport},
        {"export", runExport},
        {"reports", runReports},
    };
    return all;
}

} // namespace bench
