#pragma once

#include <QList>
#include <QString>
#include <functional>

class TDBGrid;

// Copies each grid (titles, then every row in the grid's order) into a new .xlsx workbook.
// The user chooses the file (the file-dialog seam; no name = cancelled); the workbook is then
// opened in the desktop's spreadsheet program when there is one. A grid that is not open ends
// the export silently, with nothing written.
void ExportToExcel(const QList<TDBGrid*>& grids);

namespace xlsexport {

// Writes the workbook: one sheet per grid named after the grid's objectName, row 1 the
// titles of the visible columns in their on-screen order, then one row per record the grid
// shows, as it was when the grid was read (rows not read yet included). Cell formats follow the field type: "0_ " for integers that fit 32 bits,
// "0.00_ " for floating point, "@" (text, keeps leading zeros) for everything else.
// Returns false when the file could not be written (an existing file is then left as it was).
// Throws db::Error when reading a grid's remaining rows fails.
bool writeWorkbook(const QList<TDBGrid*>& grids, const QString& path);

// The name offered in the save dialog: the documents folder, with date and time.
QString suggestedFileName();

// What happens to a written workbook. By default it is handed to the desktop (nothing happens
// on a headless screen); tests install their own so that nothing is launched. An empty
// function restores the default. false = no program opened it: the user is told where it is.
using Opener = std::function<bool(const QString& path)>;
void setOpener(Opener opener);

// Rows per sheet: a grid with more records goes on in further sheets with the title row
// repeated. The default is Excel's limit; tests lower it.
void setRowsPerSheet(int rows);

} // namespace xlsexport
