#include "core/dropdown.h"

#include <QComboBox>
#include <QLayout>

namespace dropdown {
namespace {

bool laidOutBy(const QLayout* layout, QWidget* w)
{
    if (!layout)
        return false;
    if (layout->indexOf(w) >= 0)
        return true;
    for (int i = 0; i < layout->count(); ++i)
        if (laidOutBy(layout->itemAt(i)->layout(), w))
            return true;
    return false;
}

} // namespace

void fitToEntries(QComboBox* box)
{
    if (box->property("tvFitted").toBool())
        return;
    box->setProperty("tvFitted", true);
    // A box placed by hand keeps its place: left alone, it would size itself to its entries.
    if (!box->parentWidget() || !laidOutBy(box->parentWidget()->layout(), box))
        return;
    // The given width (or the width it has now, when none was given) stays its least; its list
    // opens as wide as its longest entry anyway.
    const int given =
        box->minimumWidth() > 0 ? box->minimumWidth() : qMin(box->minimumSizeHint().width(), box->width());
    box->setMinimumWidth(given);
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
}

void fitAllIn(QWidget* window)
{
    for (QComboBox* box : window->findChildren<QComboBox*>())
        fitToEntries(box);
}

} // namespace dropdown
