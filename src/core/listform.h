#pragma once

#include "core/dbgrid.h"

#include <QList>
#include <QString>

class QLayout;
class QPushButton;
class QVBoxLayout;
class QWidget;

// What the list windows and dialogs share: a grid of rows, what stands above it, and the row of
// buttons under it.
namespace lists {

// The grid DBGrid1 with its columns and the wheel rule.
TDBGrid* grid(QWidget* parent, const QList<GridColumn>& columns);

// The owner's layout: above (may be null), the grid taking the room, the buttons under it.
QVBoxLayout* layOut(QWidget* owner, QLayout* above, QWidget* grid, const QList<QPushButton*>& buttons,
                    bool centred = true);

// Opens the grid on its statement (values bound to its ? placeholders) with the first row
// current, as a freshly opened list shows it. Throws db::Error.
void openAtFirst(TDBGrid* grid, const QString& sql, const QVariantList& values = {});
inline void openAtFirst(TDBGrid* grid, const db::Statement& s)
{
    openAtFirst(grid, s.sql, s.values);
}
// Re-reads the grid's last statement and moves back to the given row (or the last one left).
// Throws db::Error.
void reopenAt(TDBGrid* grid, int row);

} // namespace lists
