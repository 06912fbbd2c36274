#include "core/application.h"

#include "core/msg.h"
#include "db/backup.h"
#include "db/error.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QProxyStyle>
#include <QTranslator>

namespace {

// The platform's style, with the program's password character.
class TvStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

TvApplication::TvApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    // No display name: the X11 platform would append it to every window title and box caption.
    setApplicationName(msg::appTitle());
    setQuitOnLastWindowClosed(false);

    const QLocale chinese(QLocale::Chinese, QLocale::China);
    QLocale::setDefault(chinese);
    auto* qt = new QTranslator(this);
    if (qt->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(qt);
    setStyle(new TvStyle);
}

TvApplication::~TvApplication()
{
    db::waitForBackup();
}

bool TvApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const db::Error& e) {
        msg::reportError(e);
    } catch (const std::exception& e) {
        qCWarning(lcUi).noquote() << QString::fromLocal8Bit(e.what());
        msg::box(QString::fromLocal8Bit(e.what()), msg::appTitle(), msg::Buttons::Ok, msg::Icon::Error);
    }
    return false;
}
