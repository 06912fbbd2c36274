#include "design/editoptsel.h"

#include "core/msg.h"
#include "db/dm.h"
#include "ops/design/questions.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QPlainTextEdit>

QPointer<Tfrmeditoptsel> frmeditoptsel;

Tfrmeditoptsel::Tfrmeditoptsel(const design::QuestionRow& question, QWidget* parent)
    : TDesignDialog(QStringLiteral("Tfrmeditoptsel"), QStringLiteral("修改问题"), parent), m_question(question)
{
    frmeditoptsel = this;
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    design::showAsReadOnly(Edit1);
    layOut(design::questionFields(this, Edit1, &Memo1, &Edit2, "Edit2"), QStringLiteral("保   存"),
           QStringLiteral("退   出"), false, QSize(500, 300));
}

void Tfrmeditoptsel::FormShow()
{
    if (closeWithout(m_question.qid))
        return;
    Edit1->setText(m_question.project);
    Memo1->setPlainText(m_question.text);
    Edit2->setText(m_question.number);
}

void Tfrmeditoptsel::Button1Click()
{
    QString qnr;
    int qbh = 0;
    if (m_question.qid >= 0 && design::checkQuestionInput(Memo1, Edit2, &qnr, &qbh))
        saveAndClose([&] { ops::design::changeQuestion(ADOcon(), m_question.qid, qnr, qbh); });
}
