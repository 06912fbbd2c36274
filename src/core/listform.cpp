#include "core/listform.h"

#include "core/entrydialog.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace lists {

TDBGrid* grid(QWidget* parent, const QList<GridColumn>& columns)
{
    auto* g = new TDBGrid(parent);
    g->setColumns(columns);
    grid::installWheelRule(g);
    return g;
}

QVBoxLayout* layOut(QWidget* owner, QLayout* above, QWidget* grid, const QList<QPushButton*>& buttons, bool centred)
{
    auto* lay = new QVBoxLayout(owner);
    if (above)
        lay->addLayout(above);
    lay->addWidget(grid, 1);
    lay->addLayout(buttonBar(buttons, centred));
    return lay;
}

void openAtFirst(TDBGrid* grid, const QString& sql, const QVariantList& values)
{
    grid->open(sql, values);
    grid->setCurrentRowIndex(0);
}

void reopenAt(TDBGrid* grid, int row)
{
    grid->reopen();
    grid->setCurrentRowIndex(row < 0 ? 0 : row);
    if (grid->currentRowIndex() < 0 && grid->rowCount() > 0)
        grid->setCurrentRowIndex(grid->rowCount() - 1);
}

} // namespace lists
