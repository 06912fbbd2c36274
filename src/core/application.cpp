#include "core/application.h"

#include "core/msg.h"
#include "db/error.h"

TvApplication::TvApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(msg::appTitle());
    setApplicationDisplayName(msg::appTitle());
    setQuitOnLastWindowClosed(false);
}

bool TvApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const db::Error& e) {
        msg::box(e.text(), msg::appTitle(), msg::Buttons::Ok, msg::Icon::Error);
    } catch (const std::exception& e) {
        msg::box(QString::fromLocal8Bit(e.what()), msg::appTitle(), msg::Buttons::Ok, msg::Icon::Error);
    }
    return false;
}
