#include "admin/adminkit.h"

#include "core/entrydialog.h"
#include "core/msg.h"
#include "db/error.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace admin {

QPushButton* button(QWidget* parent, const char* objectName, const QString& caption)
{
    return plainButton(parent, QString::fromLatin1(objectName), caption);
}

QLineEdit* edit(QWidget* parent, const char* objectName)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(objectName));
    return e;
}

QLineEdit* passwordEdit(QWidget* parent, const char* objectName)
{
    QLineEdit* e = edit(parent, objectName);
    e->setEchoMode(QLineEdit::Password);
    e->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    return e;
}

QLabel* label(QWidget* parent, const QString& text)
{
    return new QLabel(text, parent);
}

void centreOnScreen(QWidget* w)
{
    const QScreen* s = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    if (s)
        w->move(s->availableGeometry().center() - w->rect().center());
}

} // namespace admin
