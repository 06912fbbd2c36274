#include "core/text.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStringEncoder>
#include <QTextEdit>

namespace text {

QString trimmed(const QString& s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && s[b].unicode() <= 0x20)
        ++b;
    while (e > b && s[e - 1].unicode() <= 0x20)
        --e;
    return s.mid(b, e - b);
}

QString trimEdit(QLineEdit* edit)
{
    const QString t = trimmed(edit->text());
    if (t != edit->text())
        edit->setText(t);
    return t;
}

QString trimEdit(QPlainTextEdit* edit)
{
    const QString t = trimmed(edit->toPlainText());
    if (t != edit->toPlainText())
        edit->setPlainText(t);
    return t;
}

QString trimEdit(QTextEdit* edit)
{
    const QString t = trimmed(edit->toPlainText());
    if (t != edit->toPlainText())
        edit->setPlainText(t);
    return t;
}

int gbkLength(const QString& s)
{
    QStringEncoder enc("GBK");
    if (!enc.isValid())
        return int(s.toLocal8Bit().size());
    const QByteArray b = enc.encode(s);
    return int(b.size());
}

} // namespace text
