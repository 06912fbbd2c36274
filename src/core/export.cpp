#include "core/export.h"

#include "core/dbgrid.h"

void ExportToExcel(const QList<TDBGrid*>&) {}
