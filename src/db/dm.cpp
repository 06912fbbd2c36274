#include "db/dm.h"

TfrmDM* frmDM = nullptr;

db::Connection& ADOcon()
{
    return frmDM->ADOcon;
}
