#pragma once

#include <QApplication>

// The application object: sets the title and shows a database error that no window caught
// in the general error box, with the engine's own text, instead of ending the program.
class TvApplication : public QApplication
{
public:
    TvApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
