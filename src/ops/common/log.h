#pragma once

#include <QLoggingCategory>

// The operations' messages (tellvane.ops): failures an operation turns into a result instead
// of throwing them on.
Q_DECLARE_LOGGING_CATEGORY(lcOps)
