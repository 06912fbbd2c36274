#include "design/formkit.h"

#include "core/dbgrid.h"
#include "core/msg.h"
#include "core/text.h"
#include "db/dm.h"
#include "db/error.h"
#include "db/transaction.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

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

bool exists(const QString& jetSql)
{
    QSqlQuery q = ADOcon().select(jetSql);
    return q.next();
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

QPushButton* makeButton(QWidget* parent, const QString& objectName, const QString& caption)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(objectName);
    b->setAutoDefault(false);
    return b;
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

} // namespace design
