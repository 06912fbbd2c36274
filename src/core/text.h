#pragma once

#include <QString>

class QLineEdit;
class QTextEdit;
class QPlainTextEdit;

namespace text {

// Leading and trailing blanks and control characters removed (everything up to U+0020).
QString trimmed(const QString& s);

// Trims the box's text, writes it back into the box and returns it.
QString trimEdit(QLineEdit* edit);
QString trimEdit(QPlainTextEdit* edit);
QString trimEdit(QTextEdit* edit);

// Length in bytes of the text as GBK (code page 936): "中文abc" is 7. A character that GBK
// cannot hold counts as one byte.
int gbkLength(const QString& s);

} // namespace text
