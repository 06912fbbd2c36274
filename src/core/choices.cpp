#include "core/choices.h"

#include "db/dm.h"
#include "db/sqlvalue.h"
#include "ops/common/daycond.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QSqlRecord>

namespace choices {

void loadProjects(QComboBox* nameBox, QComboBox* numberBox, const QString& sql)
{
    nameBox->clear();
    numberBox->clear();
    QSqlQuery q = ADOcon().select(sql);
    const int name = q.record().indexOf(QStringLiteral("ywname"));
    const int number = q.record().indexOf(QStringLiteral("ywbh"));
    while (q.next()) {
        nameBox->addItem(q.value(name).toString());
        numberBox->addItem(db::displayText(q.value(number)));
    }
}

int projectNumber(const QComboBox* nameBox, const QComboBox* numberBox)
{
    const int i = nameBox->currentIndex();
    if (i < 0 || i >= numberBox->count() || nameBox->currentText().isEmpty())
        return -1;
    bool ok = false;
    const int n = numberBox->itemText(i).toInt(&ok);
    return ok ? n : -1;
}

void initDayPickers(QDateEdit* from, QDateEdit* to)
{
    for (QDateEdit* e : {from, to}) {
        e->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        e->setCalendarPopup(true);
        e->setDateTime(QDateTime::currentDateTime());
    }
}

QString dayCondition(const QString& column, const QDate& from, const QDate& to)
{
    return ops::dayCondition(column, from, to);
}

QString dayCondition(const QString& column, const QCheckBox* ticked, const QDateEdit* from, const QDateEdit* to)
{
    if (!ticked->isChecked())
        return QString();
    return dayCondition(column, from->date(), to->date());
}

} // namespace choices
