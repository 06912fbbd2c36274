#pragma once

#include "db/connection.h"

// The data module: owns the one connection ADOcon that every window uses.
class TfrmDM
{
public:
    TfrmDM() = default;
    db::Connection ADOcon{QStringLiteral("ADOcon")};
};

extern TfrmDM* frmDM;

// Shorthand for frmDM->ADOcon.
db::Connection& ADOcon();
