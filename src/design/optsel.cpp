#include "design/optsel.h"

#include "core/entrydialog.h"
#include "core/listform.h"
#include "core/msg.h"
#include "core/pub.h"
#include "core/scaling.h"
#include "db/dm.h"
#include "design/addoptsel.h"
#include "design/editoptsel.h"
#include "design/formkit.h"
#include "design/mansel.h"
#include "ops/design/projects.h"
#include "ops/design/questions.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

QPointer<Tfrmoptsel> frmoptsel;

namespace {
const QString kAll = QStringLiteral("所有");
}

Tfrmoptsel::Tfrmoptsel(QWidget* parent) : TChildForm(parent)
{
    frmoptsel = this;
    setObjectName(QStringLiteral("Tfrmoptsel"));
    setWindowTitle(QStringLiteral("项目问题管理"));

    Label1 = new QLabel(QStringLiteral("项目选择:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setMinimumWidth(220);
    DBGrid1 = lists::grid(this, {{QStringLiteral("ywname"), QStringLiteral("项目名称"), 113},
                                 {QStringLiteral("qbh"), QStringLiteral("问题编号"), 57},
                                 {QStringLiteral("qnr"), QStringLiteral("问题内容"), 517}});

    Button1 = plainButton(this, QStringLiteral("Button1"), QStringLiteral("添加问题"));
    Button2 = plainButton(this, QStringLiteral("Button2"), QStringLiteral("修改问题"));
    Button3 = plainButton(this, QStringLiteral("Button3"), QStringLiteral("删除问题"));
    Button4 = plainButton(this, QStringLiteral("Button4"), QStringLiteral("管理问题选项"));
    Button5 = plainButton(this, QStringLiteral("Button5"), QStringLiteral("退   出"));

    auto* top = new QHBoxLayout;
    top->addWidget(Label1);
    top->addWidget(ComboBox1);
    top->addStretch();
    lists::layOut(this, top, DBGrid1, {Button1, Button2, Button3, Button4, Button5});
    resize(730, 460);

    connect(ComboBox1, &QComboBox::currentIndexChanged, this, &Tfrmoptsel::ComboBox1Change);
    connect(Button1, &QPushButton::clicked, this, &Tfrmoptsel::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfrmoptsel::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &Tfrmoptsel::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &Tfrmoptsel::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &Tfrmoptsel::Button5Click);
    connect(DBGrid1, &QAbstractItemView::doubleClicked, this, &Tfrmoptsel::DBGrid1DblClick);

    scaling::applyScreenScaling(this);
    keepDesignSize();
}

void Tfrmoptsel::FormShow()
{
    try {
        // The filter's names are read once; projects added later appear when the window is opened again.
        const QSignalBlocker quiet(ComboBox1);
        ComboBox1->clear();
        ComboBox1->addItem(kAll);
        QSqlQuery q = ADOcon().select(ops::design::projectNamesQuery());
        while (q.next())
            ComboBox1->addItem(q.value(QStringLiteral("ywname")).toString());
        ComboBox1->setCurrentIndex(0);
        lists::openAtFirst(DBGrid1, ops::design::questionListQuery());
    } catch (const db::Error& e) {
        msg::ShowFailure(e, design::kOpenError);
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void Tfrmoptsel::ComboBox1Change()
{
    const db::Statement sql =
        ops::design::questionListQuery(ComboBox1->currentIndex() <= 0 ? QString() : ComboBox1->currentText());
    if (design::tryAction([&] { lists::openAtFirst(DBGrid1, sql); })) {
        m_filterIndex = ComboBox1->currentIndex();
        return;
    }
    // The list still shows the former choice's rows: so does the filter.
    const QSignalBlocker quiet(ComboBox1);
    ComboBox1->setCurrentIndex(m_filterIndex);
}

void Tfrmoptsel::reread()
{
    lists::reopenAt(DBGrid1, 0);
}

void Tfrmoptsel::Button1Click()
{
    if (ComboBox1->count() <= 1) {
        msg::ShowMessage(QStringLiteral("请先建好项目再添加问题!"));
        return;
    }
    Tfrmaddoptsel d;
    connect(&d, &Tfrmaddoptsel::saved, this, &Tfrmoptsel::reread);
    d.execScoped();
}

design::QuestionRow Tfrmoptsel::selectedQuestion() const
{
    const int row = DBGrid1->currentRowIndex();
    if (row < 0)
        return {};
    return {DBGrid1->value(row, QStringLiteral("qid")).toLongLong(),
            DBGrid1->value(row, QStringLiteral("ywname")).toString(),
            DBGrid1->value(row, QStringLiteral("qnr")).toString(), DBGrid1->text(row, QStringLiteral("qbh"))};
}

void Tfrmoptsel::Button2Click()
{
    if (DBGrid1->currentRowIndex() < 0)
        return;
    Tfrmeditoptsel d(selectedQuestion());
    connect(&d, &Tfrmeditoptsel::saved, this, &Tfrmoptsel::reread);
    d.execScoped();
}

void Tfrmoptsel::DBGrid1DblClick()
{
    Button2Click();
}

void Tfrmoptsel::Button3Click()
{
    const int row = DBGrid1->currentRowIndex();
    if (row < 0)
        return;
    if (!msg::confirmOk(QStringLiteral("您确定要删除该问题么?"), QStringLiteral("操作确认")))
        return;
    const design::QuestionRow q = selectedQuestion();
    design::tryWrite([&] {
        ops::design::deleteQuestion(ADOcon(), pub::currentOperator(), q.qid, q.text, q.project);
        reread();
    });
}

void Tfrmoptsel::Button4Click()
{
    if (DBGrid1->currentRowIndex() < 0)
        return;
    TfrmMansel d(selectedQuestion());
    d.execScoped();
}

void Tfrmoptsel::Button5Click()
{
    close();
}
