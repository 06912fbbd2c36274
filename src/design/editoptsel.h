#pragma once

#include <QDialog>
#include <QPointer>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class Tfrmoptsel;

// Changes the text and number of the question selected in the question list; its project stays.
class Tfrmeditoptsel : public QDialog
{
    Q_OBJECT
public:
    explicit Tfrmeditoptsel(Tfrmoptsel* owner = nullptr, QWidget* parent = nullptr);

    QLineEdit* Edit1;      // project name, read-only
    QPlainTextEdit* Memo1; // question text
    QLineEdit* Edit2;      // question number
    QPushButton* Button1;  // 保存
    QPushButton* Button2;  // 退出

    qint64 questionId() const { return m_qid; }

public slots:
    void FormShow();
    void Button1Click();
    void Button2Click();

protected:
    void showEvent(QShowEvent* e) override;

private:
    QPointer<Tfrmoptsel> m_owner;
    qint64 m_qid = -1;
};

extern QPointer<Tfrmeditoptsel> frmeditoptsel;
