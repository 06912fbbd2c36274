#include "design/addoptsel.h"

#include "core/choices.h"
#include "core/msg.h"
#include "core/pub.h"
#include "core/text.h"
#include "db/dm.h"
#include "db/sqlvalue.h"
#include "design/formkit.h"
#include "design/optsel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

QPointer<Tfrmaddoptsel> frmaddoptsel;

namespace design {

bool checkQuestionInput(QPlainTextEdit* textMemo, QLineEdit* numberEdit, QString* qnr, int* qbh)
{
    const QString number = text::trimEdit(numberEdit);
    *qnr = text::trimEdit(textMemo);
    if (qnr->isEmpty()) {
        msg::ShowMessage(QStringLiteral("请输入问题内容!"));
        return false;
    }
    if (number.isEmpty()) {
        msg::ShowMessage(QStringLiteral("请输入问题编号!"));
        return false;
    }
    if (!readInteger(number, qbh)) {
        msg::ShowMessage(QStringLiteral("问题编号请输入整数!"));
        numberEdit->setFocus();
        return false;
    }
    // 0 is the options' number for the end of the questionnaire.
    if (*qbh == 0) {
        msg::ShowMessage(QStringLiteral("问题编号不能为0"));
        return false;
    }
    return true;
}

} // namespace design

Tfrmaddoptsel::Tfrmaddoptsel(Tfrmoptsel* owner, QWidget* parent)
    : QDialog(parent), m_owner(owner ? owner : frmoptsel.data())
{
    frmaddoptsel = this;
    setObjectName(QStringLiteral("Tfrmaddoptsel"));
    setWindowTitle(QStringLiteral("添加问题"));
    setAttribute(Qt::WA_DeleteOnClose);

    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox2 = new QComboBox(this);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->setVisible(false);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    CheckBox1 = new QCheckBox(QStringLiteral("连续录入"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setChecked(true);
    Button1 = design::makeButton(this, QStringLiteral("Button1"), QStringLiteral("保   存"));
    Button2 = design::makeButton(this, QStringLiteral("Button2"), QStringLiteral("退   出"));

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("项目名称："), this), 0, 0, Qt::AlignRight);
    fields->addWidget(ComboBox1, 0, 1, 1, 2);
    fields->addWidget(new QLabel(QStringLiteral("问题内容："), this), 1, 0, Qt::AlignRight | Qt::AlignTop);
    fields->addWidget(Memo1, 1, 1, 1, 2);
    fields->addWidget(new QLabel(QStringLiteral("问题编号："), this), 2, 0, Qt::AlignRight);
    fields->addWidget(Edit1, 2, 1);
    fields->addWidget(design::redLabel(QStringLiteral("(请输入整数编号如：1、2、3)"), this), 2, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(CheckBox1);
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(fields);
    lay->addLayout(buttons);
    resize(500, 300);

    connect(ComboBox1, &QComboBox::currentIndexChanged, this, &Tfrmaddoptsel::ComboBox1Change);
    connect(Button1, &QPushButton::clicked, this, &Tfrmaddoptsel::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfrmaddoptsel::Button2Click);
}

void Tfrmaddoptsel::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    FormShow();
}

void Tfrmaddoptsel::FormShow()
{
    Memo1->clear();
    Edit1->clear();
    try {
        // Read afresh at every opening: projects added meanwhile are offered.
        const QSignalBlocker quiet(ComboBox1);
        choices::loadProjects(ComboBox1, ComboBox2, QStringLiteral("select * from t_ywbh   order by ywbh desc"));
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
        // The highest number of the project plus one; the gaps below it are not reused.
        const QVariant next =
            ADOcon().scalar(QStringLiteral("select (max(qbh)+1) as qbhm from q_table where ywbh=") + db::num(ywbh));
        Edit1->setText(next.isNull() ? QStringLiteral("1") : db::displayText(next));
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
    try {
        ADOcon().execute(QStringLiteral("insert into q_table(ywbh,qnr,qbh) values(") + db::num(ywbh) +
                         QStringLiteral(",") + db::quoted(qnr) + QStringLiteral(",") + db::num(qbh) +
                         QStringLiteral(")"));
        WriteSysLog(QStringLiteral("为项目:") + ComboBox1->currentText() + QStringLiteral("添加问题:") +
                    QString::number(qbh));
        if (m_owner)
            m_owner->reread();
    } catch (const db::Error&) {
        msg::ShowMessage(design::kActionError);
        return;
    }
    Memo1->clear();
    proposeNumber();
    if (!CheckBox1->isChecked())
        close();
    else
        Memo1->setFocus();
}

void Tfrmaddoptsel::Button2Click()
{
    close();
}
