#pragma once

#include <QApplication>

// The application object. Everything that holds for every window of every program built on it,
// the tests included, is set here: the title; the Chinese interface (Qt's own dialogs and buttons
// as well, whatever the system's language); the style, which shows "*" in password boxes. A
// database error that no window caught is shown in the general error box, with the engine's own
// text, instead of ending the program. At the end it waits for a safety copy still being written.
class TvApplication : public QApplication
{
public:
    TvApplication(int& argc, char** argv);
    ~TvApplication() override;
    bool notify(QObject* receiver, QEvent* event) override;
};
