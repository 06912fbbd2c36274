#pragma once

#include <QString>

class QDialog;
class QGridLayout;
class QLineEdit;
class QPlainTextEdit;

// What the add and edit project dialogs have in common.
namespace design {

// The name line and the prompt memo in a grid; returns the grid for further rows.
QGridLayout* projectFields(QDialog* dialog, QLineEdit** name, QPlainTextEdit** tips);

// Trims both fields (writing the texts back) and checks them: the prompt's byte limit first,
// then an empty name. Shows the message and returns false when one fails.
bool checkProjectInput(QLineEdit* nameEdit, QPlainTextEdit* tipsMemo, QString* name, QString* tips);

} // namespace design
