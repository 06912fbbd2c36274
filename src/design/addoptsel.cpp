#include "design/addoptsel.h"

#include "core/choices.h"
#include "core/msg.h"
#include "core/pub.h"
#include "db/dm.h"
#include "design/formkit.h"
#include "ops/design/projects.h"
#include "ops/design/questions.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>

QPointer<Tfrmaddoptsel> frmaddoptsel;

Tfrmaddoptsel::Tfrmaddoptsel(QWidget* parent)
    : TDesignDialog(QStringLiteral("Tfrmaddoptsel"), QStringLiteral("添加问题"), parent)
{
    frmaddoptsel = this;
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox2 = new QComboBox(this);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->setVisible(false);
    layOut(design::questionFields(this, ComboBox1, &Memo1, &Edit1, "Edit1"), QStringLiteral("保   存"),
           QStringLiteral("退   出"), true, QSize(500, 300));
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, &Tfrmaddoptsel::ComboBox1Change);
}

void Tfrmaddoptsel::FormShow()
{
    Memo1->clear();
    Edit1->clear();
    try {
        // Read afresh at every opening: projects added meanwhile are offered.
        const QSignalBlocker quiet(ComboBox1);
        choices::loadProjects(ComboBox1, ComboBox2, ops::design::projectChoicesQuery());
        ComboBox1->setCurrentIndex(ComboBox1->count() > 0 ? 0 : -1);
    } catch (const db::Error& e) {
        design::reportError(e);
        return;
    }
    proposeNumber();
    Memo1->setFocus();
}

void Tfrmaddoptsel::ComboBox1Change()
{
    proposeNumber();
}

void Tfrmaddoptsel::proposeNumber()
{
    const int ywbh = choices::projectNumber(ComboBox1, ComboBox2);
    if (ywbh < 0) {
        Edit1->clear();
        return;
    }
    try {
        Edit1->setText(QString::number(ops::design::nextQuestionNumber(ADOcon(), ywbh)));
    } catch (const db::Error& e) {
        design::reportError(e);
    }
}

void Tfrmaddoptsel::Button1Click()
{
    QString qnr;
    int qbh = 0;
    if (!design::checkQuestionInput(Memo1, Edit1, &qnr, &qbh))
        return;
    const int ywbh = choices::projectNumber(ComboBox1, ComboBox2);
    if (ywbh < 0) {
        msg::ShowMessage(QStringLiteral("请先建好项目再添加问题!"));
        return;
    }
    if (!save([&] {
            // The log gives the number as typed (trimmed), as the statement receives it.
            ops::design::addQuestion(ADOcon(), pub::currentOperator(), ywbh, ComboBox1->currentText(), qnr, qbh,
                                     Edit1->text());
            return true;
        }))
        return;
    Memo1->clear();
    proposeNumber();
    if (stayForNext())
        Memo1->setFocus();
}
