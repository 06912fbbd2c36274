#include "bench/benches.h"

namespace bench {

const std::vector<Bench>& registry()
{
    static const std::vector<Bench> all = {
        {"draw", runDraw},
        {"import", runImport},
        {"export", runExport},
        {"log", runLog},
        {"manage", runManage},
        {"reports", runReports},
        {"seats", runSeats},
        {"grid", runGrid},
    };
    return all;
}

} // namespace bench
