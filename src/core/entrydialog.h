#pragma once

#include <QDialog>

#include <QList>

class QCheckBox;
class QHBoxLayout;
class QPushButton;

// A push button that Enter does not press unless it is made the default (the designed dialogs
// name their default button themselves).
QPushButton* plainButton(QWidget* parent, const QString& objectName, const QString& caption);
// The buttons of a window side by side, in the middle of the row when centred.
QHBoxLayout* buttonBar(const QList<QPushButton*>& buttons, bool centred);

// A dialog window: named after its class, freed when closed, FormShow when first shown.
class TDialogForm : public QDialog
{
    Q_OBJECT
public:
    // For a dialog on the opener's stack: runs it modally and leaves freeing it to that scope.
    int execScoped();

public slots:
    virtual void FormShow() {}

protected:
    TDialogForm(const QString& objectName, const QString& caption, QWidget* parent, Qt::WindowFlags flags);
    // The dialog has nothing to work on: it closes as soon as its loop runs.
    void closeSoon();
    void showEvent(QShowEvent* e) override;

private:
    bool m_shown = false;
};

// The add and edit dialogs of the list windows: modal, a save button (Button1), a leave button
// (Button2, also Esc) and, to add, the check box "连续录入" (ticked: stay open for the next entry
// after a save). A dialog tells whoever opened it that it saved (saved()); it never writes into
// its opener.
class TEntryDialog : public TDialogForm
{
    Q_OBJECT
public:
    QPushButton* Button1;           // save
    QPushButton* Button2;           // leave
    QCheckBox* CheckBox1 = nullptr; // 连续录入, add dialogs only

signals:
    // A row was written. Where the dialog writes inside a transaction it is emitted there, so a
    // failing handler (a list that cannot re-read) undoes the write.
    void saved();

public slots:
    virtual void Button1Click() {}
    void Button2Click();

protected:
    TEntryDialog(const QString& objectName, const QString& caption, QWidget* parent, Qt::WindowFlags flags);
    // The row under the fields: the check box (when keepEntering), then the two buttons on the right.
    QHBoxLayout* buttonRow(const QString& saveCaption, const QString& leaveCaption, bool keepEntering);
    // After a save: stay for the next entry when "连续录入" is ticked, else close.
    bool stayForNext();
};
