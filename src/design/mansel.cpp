#include "design/mansel.h"

#include "core/entrydialog.h"
#include "core/listform.h"
#include "core/msg.h"
#include "core/pub.h"
#include "core/scaling.h"
#include "db/dm.h"
#include "design/addsel.h"
#include "design/editsel.h"
#include "ops/design/options.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

QPointer<TfrmMansel> frmMansel;

TfrmMansel::TfrmMansel(const design::QuestionRow& question, QWidget* parent)
    : TDialogForm(QStringLiteral("TfrmMansel"), QStringLiteral("管理问题选项"), parent,
                  Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      m_question(question)
{
    frmMansel = this;

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    design::showAsReadOnly(Edit1);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setMaximumHeight(70);
    design::showAsReadOnly(Memo1);
    DBGrid1 = lists::grid(this, {{QStringLiteral("sel"), QStringLiteral("选项内容"), 202},
                                 {QStringLiteral("gotoq"), QStringLiteral("跳转到问题编号"), 99}});
    Button1 = plainButton(this, QStringLiteral("Button1"), QStringLiteral("增   加"));
    Button2 = plainButton(this, QStringLiteral("Button2"), QStringLiteral("修   改"));
    Button3 = plainButton(this, QStringLiteral("Button3"), QStringLiteral("删   除"));
    Button4 = plainButton(this, QStringLiteral("Button4"), QStringLiteral("关   闭"));

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("项目名称："), this), 0, 0, Qt::AlignRight);
    fields->addWidget(Edit1, 0, 1);
    fields->addWidget(new QLabel(QStringLiteral("问题内容："), this), 1, 0, Qt::AlignRight | Qt::AlignTop);
    fields->addWidget(Memo1, 1, 1);
    lists::layOut(this, fields, DBGrid1, {Button1, Button2, Button3, Button4}, false);
    resize(380, 400);

    connect(Button1, &QPushButton::clicked, this, &TfrmMansel::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TfrmMansel::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TfrmMansel::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TfrmMansel::Button4Click);

    scaling::applyScreenScaling(this);
    // A fixed border: the scaled design size is the only size.
    setFixedSize(size());
}

void TfrmMansel::FormShow()
{
    if (m_question.qid < 0) {
        // No question: nothing to manage.
        closeSoon();
        return;
    }
    Edit1->setText(m_question.project);
    Memo1->setPlainText(m_question.text);
    try {
        lists::openAtFirst(DBGrid1, ops::design::optionListQuery(m_question.qid));
    } catch (const db::Error& e) {
        msg::ShowFailure(e, design::kOpenError);
        closeSoon();
    }
}

void TfrmMansel::rereadAt(int row)
{
    lists::reopenAt(DBGrid1, row);
}

void TfrmMansel::Button1Click()
{
    Tfrmaddsel d(m_question.qid);
    // The new option is the newest: it shows at the end of the list.
    connect(&d, &Tfrmaddsel::saved, this, [this] { rereadAt(INT_MAX); });
    d.execScoped();
}

void TfrmMansel::Button2Click()
{
    const int row = DBGrid1->currentRowIndex();
    if (row < 0)
        return;
    Tfrmeditsel d({DBGrid1->value(row, QStringLiteral("aid")).toLongLong(),
                               DBGrid1->value(row, QStringLiteral("sel")).toString(),
                               DBGrid1->text(row, QStringLiteral("gotoq"))});
    // The option keeps its place, and the list its position.
    connect(&d, &Tfrmeditsel::saved, this, [this, row] { rereadAt(row); });
    d.execScoped();
}

void TfrmMansel::Button3Click()
{
    const int row = DBGrid1->currentRowIndex();
    if (row < 0)
        return;
    const QString sel = DBGrid1->value(row, QStringLiteral("sel")).toString();
    const qint64 aid = DBGrid1->value(row, QStringLiteral("aid")).toLongLong();
    if (!msg::confirmOk(QStringLiteral("您确定要删除选项<") + sel + QStringLiteral(">么?"), QStringLiteral("操作确认")))
        return;
    design::tryWrite([&] {
        ops::design::deleteOption(ADOcon(), pub::currentOperator(), aid, sel);
        rereadAt(row);
    });
}

void TfrmMansel::Button4Click()
{
    close();
}
