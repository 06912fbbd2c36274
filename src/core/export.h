#pragma once

#include <QList>

class TDBGrid;

// Copies each grid (titles, then every row in the grid's order) into a new .xlsx workbook.
void ExportToExcel(const QList<TDBGrid*>& grids);
