#pragma once

#include "core/entrydialog.h"

#include <QSize>

#include <functional>

class QLayout;
class QLineEdit;

// The add and edit dialogs of the design windows: an entry dialog whose fields stand over its
// button row.
class TDesignDialog : public TEntryDialog
{
    Q_OBJECT
public:
    TDesignDialog(const QString& objectName, const QString& caption, QWidget* parent,
                  Qt::WindowFlags flags = Qt::Dialog);

protected:
    // The fields, then a row with the check box (when keepEntering) and the two buttons.
    void layOut(QLayout* fields, const QString& saveCaption, const QString& leaveCaption, bool keepEntering,
                QSize size);
    // Runs write (true: it wrote, false: it refused) and, when it wrote, tells the opener (saved())
    // in the same transaction: an opener that cannot re-read undoes the write. A database failure
    // shows the action message and keeps nothing; false then.
    bool save(const std::function<bool()>& write);
    // save() of a write that never refuses, then "保存成功!": true when it was saved.
    bool saveAndSay(const std::function<void()>& write);
    // The edit dialogs: saveAndSay(), then the dialog closes.
    void saveAndClose(const std::function<void()>& write);
    // Opened on no row (a negative key): nothing to work on, the dialog closes; true then.
    bool closeWithout(qint64 key);
};

// The add and edit dialogs of an option: its text (Edit1) and jump number (Edit2) over the red
// hint; Enter saves.
class TOptionDialog : public TDesignDialog
{
    Q_OBJECT
public:
    QLineEdit* Edit1; // option text
    QLineEdit* Edit2; // jump number

protected:
    TOptionDialog(const QString& objectName, const QString& caption, bool keepEntering, QWidget* parent,
                  Qt::WindowFlags flags = Qt::Dialog);
    // Trims both fields and checks them; the first failing check shows its message: false then.
    bool readInput(QString* sel, int* gotoq);
};
