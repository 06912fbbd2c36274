#pragma once

#include "core/entrydialog.h"
#include "design/formkit.h"

#include <QPointer>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TDBGrid;

// The answer options of one question, each with the number of the question to ask next.
class TfrmMansel : public TDialogForm
{
    Q_OBJECT
public:
    // Without a question (qid < 0) there is nothing to manage: it closes.
    explicit TfrmMansel(const design::QuestionRow& question = {}, QWidget* parent = nullptr);

    QLineEdit* Edit1;      // project name
    QPlainTextEdit* Memo1; // question text
    TDBGrid* DBGrid1;
    QPushButton* Button1; // 增加
    QPushButton* Button2; // 修改
    QPushButton* Button3; // 删除
    QPushButton* Button4; // 关闭

    // Re-reads the options; the given row (or the last one) becomes current.
    void rereadAt(int row);

public slots:
    void FormShow() override;
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();

private:
    design::QuestionRow m_question;
};

extern QPointer<TfrmMansel> frmMansel;
