#include "design/addoptsel.h"

#include "core/choices.h"
#include "core/msg.h"
#include "core/pub.h"
#include "core/text.h"
#include "db/dm.h"
#include "db/sqlvalue.h"
#include "design/formkit.h"
#include "design/optsel.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>

QPointer<Tfrmaddoptsel> frmaddoptsel;

namespace design {

QGridLayout* questionFields(QDialog* dialog, QWidget* project, QPlainTextEdit** textMemo, QLineEdit** numberEdit,
                            const char* numberName)
{
    *textMemo = new QPlainTextEdit(dialog);
    (*textMemo)->setObjectName(QStringLiteral("Memo1"));
    *numberEdit = new QLineEdit(dialog);
    (*numberEdit)->setObjectName(QString::fromLatin1(numberName));
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("项目名称："), dialog), 0, 0, Qt::AlignRight);
    grid->addWidget(project, 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("问题内容："), dialog), 1, 0, Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(*textMemo, 1, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("问题编号："), dialog), 2, 0, Qt::AlignRight);
    grid->addWidget(*numberEdit, 2, 1);
    grid->addWidget(redLabel(QStringLiteral("(请输入整数编号如：1、2、3)"), dialog), 2, 2);
    return grid;
}

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
    : TDesignDialog(QStringLiteral("Tfrmaddoptsel"), QStringLiteral("添加问题"), parent),
      m_owner(owner ? owner : frmoptsel.data())
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
    if (!design::tryWrite([&] {
            ADOcon().execute(QStringLiteral("insert into q_table(ywbh,qnr,qbh) values(") + db::num(ywbh) +
                             QStringLiteral(",") + db::quoted(qnr) + QStringLiteral(",") + db::num(qbh) +
                             QStringLiteral(")"));
            // The number as typed (trimmed), like the statement receives it.
            WriteSysLog(QStringLiteral("为项目:") + ComboBox1->currentText() + QStringLiteral("添加问题:") +
                        Edit1->text());
            if (m_owner)
                m_owner->reread();
        }))
        return;
    Memo1->clear();
    proposeNumber();
    if (stayForNext())
        Memo1->setFocus();
}
