#pragma once

#include <QDialog>
#include <QSize>

class QCheckBox;
class QLayout;
class QPushButton;

// The add and edit dialogs of the design windows: modal, freed when closed, filled from their
// list window when first shown, with a save and a leave button (and, to add, "连续录入").
class TDesignDialog : public QDialog
{
    Q_OBJECT
public:
    TDesignDialog(const QString& objectName, const QString& caption, QWidget* parent,
                  Qt::WindowFlags flags = Qt::Dialog);

    QPushButton* Button1;           // save
    QPushButton* Button2;           // leave
    QCheckBox* CheckBox1 = nullptr; // 连续录入, add dialogs only

public slots:
    virtual void FormShow() {}
    virtual void Button1Click() {}
    void Button2Click();

protected:
    // The fields, then a row with the check box (when keepEntering) and the two buttons.
    void layOut(QLayout* fields, const QString& saveCaption, const QString& leaveCaption, bool keepEntering,
                QSize size);
    // After a save: stay for the next entry when "连续录入" is ticked, else close.
    bool stayForNext();
    // The dialog has nothing to work on: it closes as soon as its loop runs.
    void closeSoon();
    void showEvent(QShowEvent* e) override;

private:
    bool m_shown = false;
};
