#include "design/formkit.h"

#include "core/msg.h"
#include "core/text.h"
#include "core/widgets.h"
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
    } catch (const db::Error& e) {
        msg::ShowFailure(e, kActionError);
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

namespace {

using widgets::named;

// The caption right-aligned in the first column, the field beside it over span columns.
void addRow(QGridLayout* grid, int row, const QString& caption, QWidget* field, int span = 1,
            Qt::Alignment captionAlign = Qt::AlignRight)
{
    grid->addWidget(new QLabel(caption, field->parentWidget()), row, 0, captionAlign);
    grid->addWidget(field, row, 1, 1, span);
}

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

QGridLayout* projectFields(QDialog* dialog, QLineEdit** name, QPlainTextEdit** tips)
{
    *name = named(new QLineEdit(dialog), "Edit1");
    *tips = named(new QPlainTextEdit(dialog), "Memo1");
    auto* grid = new QGridLayout;
    addRow(grid, 0, QStringLiteral("项 目  名："), *name);
    addRow(grid, 1, QStringLiteral("提示语："), *tips, 1, Qt::AlignRight | Qt::AlignTop);
    return grid;
}

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
    *textMemo = named(new QPlainTextEdit(dialog), "Memo1");
    *numberEdit = named(new QLineEdit(dialog), numberName);
    auto* grid = new QGridLayout;
    addRow(grid, 0, QStringLiteral("项目名称："), project, 2);
    addRow(grid, 1, QStringLiteral("问题内容："), *textMemo, 2, Qt::AlignRight | Qt::AlignTop);
    addRow(grid, 2, QStringLiteral("问题编号："), *numberEdit);
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
    *textEdit = named(new QLineEdit(dialog), "Edit1");
    *jumpEdit = named(new QLineEdit(dialog), "Edit2");
    auto* grid = new QGridLayout;
    addRow(grid, 0, QStringLiteral("选项内容："), *textEdit);
    addRow(grid, 1, QStringLiteral("跳转到问题编号："), *jumpEdit);
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
