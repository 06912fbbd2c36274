#include "design/mansel.h"

#include "core/dbgrid.h"
#include "core/msg.h"
#include "core/pub.h"
#include "core/scaling.h"
#include "core/text.h"
#include "db/dm.h"
#include "db/sqlvalue.h"
#include "design/addsel.h"
#include "design/editsel.h"
#include "design/formkit.h"
#include "design/optsel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

QPointer<TfrmMansel> frmMansel;

namespace design {

bool checkOptionInput(QLineEdit* textEdit, QLineEdit* jumpEdit, QString* sel, int* gotoq)
{
    *sel = text::trimEdit(textEdit);
    const QString jump = text::trimEdit(jumpEdit);
    if (sel->isEmpty()) {
        msg::ShowMessage(QStringLiteral("请填写选项内容！"));
        return false;
    }
    if (!readInteger(jump, gotoq)) {
        msg::ShowMessage(QStringLiteral("跳转到问题编号请填写整数编号!"));
        return false;
    }
    return true;
}

QGridLayout* optionFields(QDialog* dialog, QLineEdit** textEdit, QLineEdit** jumpEdit)
{
    *textEdit = new QLineEdit(dialog);
    (*textEdit)->setObjectName(QStringLiteral("Edit1"));
    *jumpEdit = new QLineEdit(dialog);
    (*jumpEdit)->setObjectName(QStringLiteral("Edit2"));
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("选项内容："), dialog), 0, 0, Qt::AlignRight);
    grid->addWidget(*textEdit, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("跳转到问题编号："), dialog), 1, 0, Qt::AlignRight);
    grid->addWidget(*jumpEdit, 1, 1);
    grid->addWidget(redLabel(QStringLiteral("(问题编号请填写整数，请确认编号是存在的,0代表结束）"), dialog), 2, 0, 1,
                    2);
    return grid;
}

} // namespace design

TfrmMansel::TfrmMansel(Tfrmoptsel* owner, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), m_owner(owner ? owner : frmoptsel.data())
{
    frmMansel = this;
    setObjectName(QStringLiteral("TfrmMansel"));
    setWindowTitle(QStringLiteral("管理问题选项"));
    setAttribute(Qt::WA_DeleteOnClose);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    design::showAsReadOnly(Edit1);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setMaximumHeight(70);
    design::showAsReadOnly(Memo1);
    DBGrid1 = new TDBGrid(this);
    DBGrid1->setColumns({{QStringLiteral("sel"), QStringLiteral("选项内容"), 202},
                         {QStringLiteral("gotoq"), QStringLiteral("跳转到问题编号"), 99}});
    grid::installWheelRule(DBGrid1);
    Button1 = design::makeButton(this, QStringLiteral("Button1"), QStringLiteral("增   加"));
    Button2 = design::makeButton(this, QStringLiteral("Button2"), QStringLiteral("修   改"));
    Button3 = design::makeButton(this, QStringLiteral("Button3"), QStringLiteral("删   除"));
    Button4 = design::makeButton(this, QStringLiteral("Button4"), QStringLiteral("关   闭"));

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("项目名称："), this), 0, 0, Qt::AlignRight);
    fields->addWidget(Edit1, 0, 1);
    fields->addWidget(new QLabel(QStringLiteral("问题内容："), this), 1, 0, Qt::AlignRight | Qt::AlignTop);
    fields->addWidget(Memo1, 1, 1);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {Button1, Button2, Button3, Button4})
        buttons->addWidget(b);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(fields);
    lay->addWidget(DBGrid1, 1);
    lay->addLayout(buttons);
    resize(380, 400);

    connect(Button1, &QPushButton::clicked, this, &TfrmMansel::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TfrmMansel::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TfrmMansel::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TfrmMansel::Button4Click);

    scaling::applyScreenScaling(this);
    // A fixed border: the scaled design size is the only size.
    setFixedSize(size());
}

void TfrmMansel::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TfrmMansel::FormShow()
{
    const int row = m_owner ? m_owner->DBGrid1->currentRowIndex() : -1;
    if (row < 0) {
        // The question list is gone or has no question: nothing to manage.
        QTimer::singleShot(0, this, &QDialog::reject);
        return;
    }
    const TDBGrid* g = m_owner->DBGrid1;
    m_qid = g->value(row, QStringLiteral("qid")).toLongLong();
    Edit1->setText(g->value(row, QStringLiteral("ywname")).toString());
    Memo1->setPlainText(g->value(row, QStringLiteral("qnr")).toString());
    try {
        design::openAtFirst(DBGrid1, QStringLiteral("select * from q_sel where qid=") + db::num(m_qid) +
                                         QStringLiteral(" order by aid"));
    } catch (const db::Error&) {
        msg::ShowMessage(design::kOpenError);
        QTimer::singleShot(0, this, &QDialog::reject);
    }
}

void TfrmMansel::rereadAt(int row)
{
    design::reopenAt(DBGrid1, row);
}

void TfrmMansel::Button1Click()
{
    auto* d = new Tfrmaddsel(this);
    d->exec();
}

void TfrmMansel::Button2Click()
{
    if (DBGrid1->currentRowIndex() < 0)
        return;
    auto* d = new Tfrmeditsel(this);
    d->exec();
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
        ADOcon().execute(QStringLiteral("delete from q_sel where aid=") + db::num(aid));
        WriteSysLog(QStringLiteral("删除选项：") + sel);
        rereadAt(row);
    });
}

void TfrmMansel::Button4Click()
{
    close();
}
