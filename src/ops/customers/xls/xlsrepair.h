#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// Workbooks that FreeXL refuses although Excel reads them. Some tools write an empty cell as a
// text cell holding a zero-length shared string; FreeXL then reports success without a handle.
namespace xlsrepair {

struct Copy
{
    QByteArray file; // the whole .xls file, rewritten
    QString mark;    // the one-character text that stands for every empty string in it
};

// A copy of the .xls file (bytes) in which each zero-length shared string is replaced by a
// one-character text that no other shared string equals, so that a cell reading `mark` is an
// empty cell. Nothing else of the workbook changes. No value when the file holds no such
// string, or is not an unencrypted Excel 97 workbook that this can rewrite.
std::optional<Copy> withoutEmptyStrings(const QByteArray& file);

// False when the workbook's records contradict themselves (a record running past its stream, a
// text longer than the record that holds it, a shared string table shorter than it says): FreeXL
// reads such files past its buffers instead of refusing them. True for anything else, including
// files that are no compound file at all, which FreeXL refuses on its own.
bool consistent(const QByteArray& file);

// The texts of a shared string table, from the bodies of its SST record and of the CONTINUE
// records after it. No value when the table is shorter than it says.
std::optional<QStringList> sharedStrings(QList<QByteArray> parts);

} // namespace xlsrepair
