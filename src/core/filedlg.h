#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QFileDialog;
class QWidget;

// The one file-dialog seam. Tests queue the names the "user" picks; an empty name means the
// dialog was cancelled.
namespace filedlg {

// The program's file dialog: Qt's own (never the desktop's), listing only what the filter takes,
// with icons and types from names alone, so that it never opens a file it lists. The database
// file is never handed back: choosing it says so and counts as a cancel.
enum class Purpose { Open, Save };
std::unique_ptr<QFileDialog> makeDialog(QWidget* parent, const QString& caption, const QString& folder,
                                        const QString& filter, Purpose purpose);

QString openFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter);
QString saveFileName(QWidget* parent, const QString& caption, const QString& suggested, const QString& filter);

// Tests: the next dialogs return these names in turn instead of showing a dialog.
void queueAnswers(const QStringList& names);

// Where a dialog opens when the caller names no folder: the user's documents folder at first,
// afterwards the folder of the last file chosen.
QString startFolder();
void clearAnswers(); // also forgets the last folder
// How many dialogs were asked for since the last clearAnswers().
int askedCount();

} // namespace filedlg
