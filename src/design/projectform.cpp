#include "design/projectform.h"

#include "core/msg.h"
#include "core/text.h"
#include "design/formkit.h"

#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace design {

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

bool checkProjectInput(QLineEdit* nameEdit, QPlainTextEdit* tipsMemo, QString* name, QString* tips)
{
    *name = text::trimEdit(nameEdit);
    *tips = text::trimEdit(tipsMemo);
    if (tipsLength(*tips) > kMaxTipsLength) {
        msg::ShowMessage(QStringLiteral("单机版提示语字符长度不能超过255,换算成中文字数不能超过127个"));
        return false;
    }
    if (name->isEmpty()) {
        msg::ShowMessage(QStringLiteral("请输入项目名!"));
        return false;
    }
    return true;
}

} // namespace design
