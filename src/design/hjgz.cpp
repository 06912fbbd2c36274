#include "design/hjgz.h"

#include "db/dm.h"
#include "db/vocab.h"
#include "ops/visit/callback.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTime>

QPointer<Tfrmhjgz> frmhjgz;

namespace {

// The ending words a rule is given for: every outcome but the completed questionnaire.
QStringList endingWords()
{
    return {vocab::kSwitchedOff, vocab::kOutOfService, vocab::kNoAnswer,
            vocab::kRefused,     vocab::kCallBack,     vocab::kInvalidData};
}

QSpinBox* spin(QWidget* parent, const QString& name, int max, const QString& suffix)
{
    auto* s = new QSpinBox(parent);
    s->setObjectName(name);
    s->setRange(0, max);
    s->setSuffix(suffix);
    return s;
}

QLineEdit* timeEdit(QWidget* parent, const char* name)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setPlaceholderText(QStringLiteral("不限"));
    e->setMaxLength(5);
    e->setFixedWidth(70);
    return e;
}

// A window of the calling hours: both ends blank (any time) or two times "HH:mm", start first.
bool readWindow(QLineEdit* from, QLineEdit* to, QString* start, QString* end)
{
    *start = from->text().trimmed();
    *end = to->text().trimmed();
    if (start->isEmpty() && end->isEmpty())
        return true;
    const QTime a = QTime::fromString(*start, QStringLiteral("H:mm"));
    const QTime b = QTime::fromString(*end, QStringLiteral("H:mm"));
    if (!a.isValid() || !b.isValid() || !(a < b))
        return false;
    *start = a.toString(QStringLiteral("HH:mm"));
    *end = b.toString(QStringLiteral("HH:mm"));
    return true;
}

} // namespace

Tfrmhjgz::Tfrmhjgz(const design::ProjectRow& project, QWidget* parent)
    : TDesignDialog(QStringLiteral("Tfrmhjgz"), QStringLiteral("呼叫规则"), parent), m_project(project)
{
    frmhjgz = this;
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("项目：") + project.name, this), 0, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("结束方式"), this), 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("再次提取至少间隔"), this), 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("最多呼叫次数"), this), 1, 2);
    int row = 2;
    for (const QString& word : endingWords()) {
        const int n = int(SpinDelay.size()) + 1;
        SpinDelay << spin(this, QStringLiteral("SpinDelay%1").arg(n), 525600, QStringLiteral(" 分钟"));
        SpinLimit << spin(this, QStringLiteral("SpinLimit%1").arg(n), 999, QStringLiteral(" 次"));
        SpinLimit.last()->setSpecialValueText(QStringLiteral("不限"));
        grid->addWidget(new QLabel(word, this), row, 0);
        grid->addWidget(SpinDelay.last(), row, 1);
        grid->addWidget(SpinLimit.last(), row, 2);
        ++row;
    }
    EditWeekdayStart = timeEdit(this, "EditWeekdayStart");
    EditWeekdayEnd = timeEdit(this, "EditWeekdayEnd");
    EditWeekendStart = timeEdit(this, "EditWeekendStart");
    EditWeekendEnd = timeEdit(this, "EditWeekendEnd");
    auto hours = [&](const QString& caption, QLineEdit* from, QLineEdit* to) {
        auto* line = new QHBoxLayout;
        line->addWidget(from);
        line->addWidget(new QLabel(QStringLiteral("至"), this));
        line->addWidget(to);
        line->addStretch(1);
        grid->addWidget(new QLabel(caption, this), row, 0);
        grid->addLayout(line, row++, 1, 1, 2);
    };
    hours(QStringLiteral("工作日呼叫时段"), EditWeekdayStart, EditWeekdayEnd);
    hours(QStringLiteral("周末呼叫时段"), EditWeekendStart, EditWeekendEnd);
    SpinGrace = spin(this, QStringLiteral("SpinGrace"), 10080, QStringLiteral(" 分钟"));
    grid->addWidget(new QLabel(QStringLiteral("只由预约人回访的预约，时段结束后"), this), row, 0, 1, 2);
    auto* grace = new QHBoxLayout;
    grace->addWidget(SpinGrace);
    grace->addWidget(new QLabel(QStringLiteral("后任何人可回访"), this));
    grid->addLayout(grace, row, 2);
    layOut(grid, QStringLiteral("保     存"), QStringLiteral("退   出"), false, QSize(520, 420));
}

void Tfrmhjgz::FormShow()
{
    if (closeWithout(m_project.ywbh))
        return;
    design::tryAction([&] {
        const QStringList words = endingWords();
        for (int i = 0; i < words.size(); ++i) {
            const ops::visit::RetryRule r = ops::visit::retryRule(ADOcon(), int(m_project.ywbh), words.at(i));
            SpinDelay.at(i)->setValue(r.delayMinutes);
            SpinLimit.at(i)->setValue(r.maxCalls);
        }
        const ops::visit::CallingHours h = ops::visit::callingHours(ADOcon(), int(m_project.ywbh));
        EditWeekdayStart->setText(h.weekdayStart);
        EditWeekdayEnd->setText(h.weekdayEnd);
        EditWeekendStart->setText(h.weekendStart);
        EditWeekendEnd->setText(h.weekendEnd);
        SpinGrace->setValue(h.graceMinutes);
    });
}

void Tfrmhjgz::Button1Click()
{
    if (m_project.ywbh < 0)
        return;
    ops::visit::CallingHours h;
    if (!readWindow(EditWeekdayStart, EditWeekdayEnd, &h.weekdayStart, &h.weekdayEnd) ||
        !readWindow(EditWeekendStart, EditWeekendEnd, &h.weekendStart, &h.weekendEnd)) {
        msg::ShowMessage(QStringLiteral("呼叫时段请填写开始和结束时间（如 09:00 至 18:00），开始要早于结束；"
                                        "两项都不填为不限时段!"));
        return;
    }
    h.graceMinutes = SpinGrace->value();
    saveAndClose([&] {
        const QStringList words = endingWords();
        for (int i = 0; i < words.size(); ++i)
            ops::visit::saveRetryRule(ADOcon(), int(m_project.ywbh), words.at(i),
                                      {SpinDelay.at(i)->value(), SpinLimit.at(i)->value()});
        ops::visit::saveCallingHours(ADOcon(), int(m_project.ywbh), h);
    });
}
