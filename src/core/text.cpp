#include "core/text.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace text {

namespace {

// Writes the trimmed text back only when it changed (no needless change signals).
template <typename Box, typename Get, typename Set>
QString trimBox(Box* box, Get get, Set set)
{
    const QString before = (box->*get)();
    const QString t = trimmed(before);
    if (t != before)
        (box->*set)(t);
    return t;
}

} // namespace

QString trimEdit(QLineEdit* edit)
{
    return trimBox(edit, &QLineEdit::text, &QLineEdit::setText);
}

QString trimEdit(QPlainTextEdit* edit)
{
    return trimBox(edit, &QPlainTextEdit::toPlainText, &QPlainTextEdit::setPlainText);
}

QString trimEdit(QTextEdit* edit)
{
    return trimBox(edit, &QTextEdit::toPlainText, &QTextEdit::setPlainText);
}

} // namespace text
