#include "ops/common/log.h"

Q_LOGGING_CATEGORY(lcOps, "tellvane.ops")
