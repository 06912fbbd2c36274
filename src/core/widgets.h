#pragma once

#include <QString>

class QWidget;

// Small things every window does when it builds and ends itself.
namespace widgets {

// Gives a control its designed name (tests find controls by it) and hands it back:
// Edit1 = named(new QLineEdit(this), "Edit1").
template <class T> T* named(T* w, const char* name)
{
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

// Closes a window; inside the main window's work area it is the frame that closes (the window
// goes with it), so that no empty frame is left behind.
void closeWindow(QWidget* w);

} // namespace widgets
