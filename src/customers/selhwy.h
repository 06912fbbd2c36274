#pragma once

#include "ops/customers/customerlist.h"

#include <QDialog>
#include <QPointer>
#include <functional>

class QComboBox;
class QGroupBox;
class QPushButton;

// 选取务员: the operator a data management list is assigned to. Shown without blocking its
// opener; it belongs to that window and goes when the window goes, so it never acts on a
// window that has been closed. "确     定" hands the operator to the opener's assignment.
class Tfrmselhwy : public QDialog
{
    Q_OBJECT
public:
    // assign runs the assignment and re-reads the opener's list; it throws db::Error.
    using Assign = std::function<void(const ops::customers::Operator&)>;
    Tfrmselhwy(QWidget* opener, Assign assign);

    QGroupBox* GroupBox1;
    QComboBox* ComboBox1; // full names, after the prompt
    QComboBox* ComboBox2; // hidden: login names, "0" for the prompt
    QPushButton* Button1; // 确     定
    QPushButton* Button2; // 取    消

public slots:
    void FormShow();
    void Button1Click();
    void Button2Click();

protected:
    void showEvent(QShowEvent* e) override;

private:
    Assign m_assign;
    bool m_shown = false;
};

extern QPointer<Tfrmselhwy> frmselhwy;
