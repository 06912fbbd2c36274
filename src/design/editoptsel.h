#pragma once

#include "design/dialogform.h"
#include "design/formkit.h"

#include <QPointer>

class QLineEdit;
class QPlainTextEdit;

// Changes the text and number of a question (the one selected in the question list); its project stays.
class Tfrmeditoptsel : public TDesignDialog
{
    Q_OBJECT
public:
    // Without a question (qid < 0) the dialog has nothing to edit and closes.
    explicit Tfrmeditoptsel(const design::QuestionRow& question = {}, QWidget* parent = nullptr);

    QLineEdit* Edit1;      // project name, read-only
    QPlainTextEdit* Memo1; // question text
    QLineEdit* Edit2;      // question number

public slots:
    void FormShow() override;
    void Button1Click() override;

private:
    design::QuestionRow m_question;
};

extern QPointer<Tfrmeditoptsel> frmeditoptsel;
