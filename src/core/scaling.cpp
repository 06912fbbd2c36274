#include "core/scaling.h"

#include "core/dbgrid.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace scaling {

Factor forScreenWidth(int width)
{
    switch (width) {
    case 640: return {60, 80};
    case 800: return {80, 100};
    case 1152: return {125, 100};
    default: return {1, 1};
    }
}

void applyScaling(QWidget* w, Factor f)
{
    if (f.identity())
        return;
    auto sc = [f](int v) { return v * f.num / f.den; };
    QFont font = w->font();
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * f.num / f.den);
    else if (font.pixelSize() > 0)
        font.setPixelSize(sc(font.pixelSize()));
    w->setFont(font);
    w->resize(sc(w->width()), sc(w->height()));
    for (TDBGrid* g : w->findChildren<TDBGrid*>())
        g->setWidthScale(f.num, f.den);
    for (QWidget* c : w->findChildren<QWidget*>()) {
        if (c->minimumWidth() > 0 || c->minimumHeight() > 0)
            c->setMinimumSize(sc(c->minimumWidth()), sc(c->minimumHeight()));
        if (c->maximumWidth() < QWIDGETSIZE_MAX || c->maximumHeight() < QWIDGETSIZE_MAX)
            c->setMaximumSize(c->maximumWidth() < QWIDGETSIZE_MAX ? sc(c->maximumWidth()) : QWIDGETSIZE_MAX,
                              c->maximumHeight() < QWIDGETSIZE_MAX ? sc(c->maximumHeight()) : QWIDGETSIZE_MAX);
    }
}

void applyScreenScaling(QWidget* w)
{
    const QScreen* s = QGuiApplication::primaryScreen();
    if (s)
        applyScaling(w, forScreenWidth(s->geometry().width()));
}

} // namespace scaling
