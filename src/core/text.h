#pragma once

#include "ops/common/text.h"

class QLineEdit;
class QTextEdit;
class QPlainTextEdit;

namespace text {

// Trims the box's text, writes it back into the box and returns it.
QString trimEdit(QLineEdit* edit);
QString trimEdit(QPlainTextEdit* edit);
QString trimEdit(QTextEdit* edit);

} // namespace text
