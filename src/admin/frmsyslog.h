#pragma once

#include "core/windows.h"
#include "db/statement.h"

#include <QPointer>

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class TDBGrid;

// The operation log, newest first (at most 10000 rows), narrowed by operator, text and days.
// Changes nothing.
class Tfrmsyslog : public TChildForm
{
    Q_OBJECT
public:
    explicit Tfrmsyslog(QWidget* parent = nullptr);

    QLineEdit* Edit1;     // operator's full name
    QLineEdit* Edit2;     // a piece of the log text
    QCheckBox* CheckBox1; // day filter on
    QLabel* Label3;       // 操作时间：
    QDateEdit* DateTimePicker1;
    QDateEdit* DateTimePicker2;
    QPushButton* Button1; // 查  询
    QPushButton* Button2; // 导出到EXCEL
    TDBGrid* DBGrid1;

public slots:
    void FormShow();
    void Button1Click();
    void Button2Click();
    void CheckBox1Click();

protected:
    void firstShow() override { FormShow(); }

private:
    void openList(const db::Statement& statement);
};

extern QPointer<Tfrmsyslog> frmsyslog;
