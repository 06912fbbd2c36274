#pragma once

#include "core/windows.h"

#include <QPointer>
#include <QSize>

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

    QSize sizeHint() const override { return m_designSize; }

public slots:
    void FormShow();
    void Button1Click();
    void Button2Click();
    void CheckBox1Click();

protected:
    void showEvent(QShowEvent* e) override;

private:
    void openList(const QString& sql);
    QSize m_designSize;
    bool m_shown = false;
};

extern QPointer<Tfrmsyslog> frmsyslog;
