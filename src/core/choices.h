#pragma once

#include <QDate>
#include <QString>

class QComboBox;
class QCheckBox;
class QDateEdit;

namespace choices {

// The project choice list: names shown in nameBox, numbers kept in the hidden numberBox at
// the same positions. sql selects ywname and ywbh (e.g. "select * from t_ywbh order by ywbh desc").
// Throws db::Error; the boxes are left empty then.
void loadProjects(QComboBox* nameBox, QComboBox* numberBox, const QString& sql);

// The number paired with the chosen name, or -1 when nothing is chosen.
int projectNumber(const QComboBox* nameBox, const QComboBox* numberBox);

// The day filter: both pickers shown as yyyy-MM-dd and set to now.
void initDayPickers(QDateEdit* from, QDateEdit* to);

// " and format(col,'yyyymmdd')>='from' and format(col,'yyyymmdd')<='to'" (both ends included),
// or an empty text when the box is not ticked.
QString dayCondition(const QString& column, const QDate& from, const QDate& to);
QString dayCondition(const QString& column, const QCheckBox* ticked, const QDateEdit* from, const QDateEdit* to);

} // namespace choices
