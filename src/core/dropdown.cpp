#include "core/dropdown.h"

#include <QComboBox>

namespace dropdown {

void fitToEntries(QComboBox* box)
{
    if (box->property("tvFitted").toBool())
        return;
    box->setProperty("tvFitted", true);
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
