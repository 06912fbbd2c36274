#include "design/formkit.h"

#include "core/dbgrid.h"
#include "core/msg.h"
#include "core/text.h"
#include "db/dm.h"
#include "db/error.h"
#include "db/transaction.h"

#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace design {

int tipsLength(const QString& s)
{
    // The memo keeps bare LF; the stored text counts each break as the two bytes CR LF.
    int lone = 0;
    for (qsizetype i = 0; i < s.size(); ++i)
        if (s[i] == QLatin1Char('\n') && (i == 0 || s[i - 1] != QLatin1Char('\r')))
            ++lone;
    return text::gbkLength(s) + lone;
}

bool readInteger(const QString& text, int* value)
{
    qsizetype i = 0;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ++i;
    if (i == text.size())
        return false;
    for (qsizetype j = i; j < text.size(); ++j)
        if (text[j] < QLatin1Char('0') || text[j] > QLatin1Char('9'))
            return false;
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (ok && value)
        *value = v;
    return ok;
}

bool tryAction(const std::function<void()>& action)
{
    try {
        action();
        return true;
    } catch (const db::Error&) {
        msg::ShowMessage(kActionError);
        return false;
    }
}

bool tryWrite(const std::function<void()>& action)
{
    return tryAction([&] {
        db::Transaction t(ADOcon());
        action();
        t.commit();
    });
}

void openAtFirst(TDBGrid* grid, const QString& sql)
{
    grid->open(sql);
    grid->setCurrentRowIndex(0);
}

void reopenAt(TDBGrid* grid, int row)
{
    grid->reopen();
    if (row < 0)
        row = 0;
    grid->setCurrentRowIndex(row);
    if (grid->currentRowIndex() < 0 && grid->rowCount() > 0)
        grid->setCurrentRowIndex(grid->rowCount() - 1);
}

QLabel* redLabel(const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setStyleSheet(QStringLiteral("color: red;"));
    return l;
}

namespace {
const QString kReadOnlyStyle = QStringLiteral("color: red; background-color: #d4d0c8;");
}

void showAsReadOnly(QLineEdit* edit)
{
    edit->setReadOnly(true);
    edit->setStyleSheet(kReadOnlyStyle);
}

void showAsReadOnly(QPlainTextEdit* edit)
{
    edit->setReadOnly(true);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit->setStyleSheet(kReadOnlyStyle);
}

QGridLayout* projectFields(QDialog* dialog, QLineEdit** name, QPlainTextEdit** tips)
{
    *name = new QLineEdit(dialog);
    (*name)->setObjectName(QStringLiteral("Edit1"));
    *tips = new QPlainTextEdit(dialog);
    (*tips)->setObjectName(QStringLiteral("Memo1"));
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("项 目  名："), dialog), 0, 0, Qt::AlignRight);
    grid->addWidget(*name, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("提示语："), dialog), 1, 0, Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(*tips, 1, 1);
    return grid;
}

namespace {

// Shows the message of the first check that failed and returns its index; -1 when all passed.
int firstFailure(std::initializer_list<std::pair<bool, QString>> checks)
{
    int i = 0;
    for (const auto& [failed, message] : checks) {
        if (failed) {
            msg::ShowMessage(message);
            return i;
        }
        ++i;
    }
    return -1;
}

} // namespace

bool checkProjectInput(QLineEdit* nameEdit, QPlainTextEdit* tipsMemo, QString* name, QString* tips)
{
    *name = text::trimEdit(nameEdit);
    *tips = text::trimEdit(tipsMemo);
    return firstFailure({{tipsLength(*tips) > kMaxTipsLength,
                          QStringLiteral("单机版提示语字符长度不能超过255,换算成中文字数不能超过127个")},
                         {name->isEmpty(), QStringLiteral("请输入项目名!")}}) < 0;
}

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
    const bool integer = readInteger(number, qbh);
    const int failed = firstFailure({{qnr->isEmpty(), QStringLiteral("请输入问题内容!")},
                                     {number.isEmpty(), QStringLiteral("请输入问题编号!")},
                                     {!integer, QStringLiteral("问题编号请输入整数!")},
                                     // 0 is the options' number for the end of the questionnaire.
                                     {*qbh == 0, QStringLiteral("问题编号不能为0")}});
    if (failed == 2)
        numberEdit->setFocus();
    return failed < 0;
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

bool checkOptionInput(QLineEdit* textEdit, QLineEdit* jumpEdit, QString* sel, int* gotoq)
{
    *sel = text::trimEdit(textEdit);
    const QString jump = text::trimEdit(jumpEdit);
    return firstFailure({{sel->isEmpty(), QStringLiteral("请填写选项内容！")},
                         {!readInteger(jump, gotoq), QStringLiteral("跳转到问题编号请填写整数编号!")}}) < 0;
}

} // namespace design
