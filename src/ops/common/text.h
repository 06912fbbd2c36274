#pragma once

#include <QString>

// Text as the system handles what users type and what files bring.
namespace text {

// Leading and trailing blanks and control characters removed (everything up to U+0020).
QString trimmed(const QString& s);

// Length in bytes of the text as GBK (code page 936): "中文abc" is 7. A character that GBK
// cannot hold counts as one byte.
int gbkLength(const QString& s);

} // namespace text
