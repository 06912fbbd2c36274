// The visit window's call-back controls: a time (blank: none), the length of the window and
// whether only this operator may call it, booked with "下次联系"; and what the window tells of the
// call-back a customer was drawn for.
#include "visit/userhf.h"

#include "core/msg.h"
#include "core/pub.h"
#include "core/widgets.h"
#include "db/dm.h"
#include "db/log.h"
#include "ops/visit/callback.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>

using widgets::named;

namespace {

// The blank time: the edit's least value, shown as nothing.
const QDateTime kNoTime(QDate(2000, 1, 1), QTime(0, 0));

// Fills a blank time with the next whole hour when the operator starts on it, instead of
// making them walk up from the year 2000.
class FillOnFocus : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* edit = qobject_cast<QDateTimeEdit*>(watched);
        if (edit && event->type() == QEvent::FocusIn && edit->dateTime() == kNoTime) {
            const QDateTime now = QDateTime::currentDateTime();
            edit->setDateTime(QDateTime(now.date(), QTime(now.time().hour(), 0)).addSecs(3600));
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

QWidget* Tfrmuserhf::buildCallBack(QWidget* parent)
{
    auto* box = new QWidget(parent);
    DateTimeCallBack = named(new QDateTimeEdit(box), "DateTimeCallBack");
    DateTimeCallBack->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    DateTimeCallBack->setMinimumDateTime(kNoTime);
    DateTimeCallBack->setSpecialValueText(QStringLiteral(" "));
    DateTimeCallBack->setCalendarPopup(true);
    DateTimeCallBack->setDateTime(kNoTime);
    DateTimeCallBack->setToolTip(QStringLiteral("客户要求的回访时间；不填则只记为下次联系"));
    DateTimeCallBack->installEventFilter(new FillOnFocus(DateTimeCallBack));
    ComboCallBackLength = named(new QComboBox(box), "ComboCallBackLength");
    for (const auto& [text, minutes] :
         {std::pair{QStringLiteral("30分钟"), 30}, std::pair{QStringLiteral("1小时"), 60},
          std::pair{QStringLiteral("2小时"), 120}, std::pair{QStringLiteral("4小时"), 240}})
        ComboCallBackLength->addItem(text, minutes);
    ComboCallBackLength->setCurrentIndex(1);
    CheckOnlyMe = named(new QCheckBox(QStringLiteral("只由我回访"), box), "CheckOnlyMe");
    CheckOnlyMe->setChecked(true);

    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new QLabel(QStringLiteral("预约回访时间："), box));
    row->addWidget(DateTimeCallBack);
    row->addWidget(new QLabel(QStringLiteral("时段："), box));
    row->addWidget(ComboCallBackLength);
    row->addWidget(CheckOnlyMe);
    row->addStretch(1);
    return box;
}

std::optional<ops::visit::Booking> Tfrmuserhf::callBackBooking() const
{
    if (DateTimeCallBack->dateTime() == kNoTime)
        return std::nullopt;
    ops::visit::Booking b;
    b.start = DateTimeCallBack->dateTime();
    b.minutes = ComboCallBackLength->currentData().toInt();
    b.onlyMe = CheckOnlyMe->isChecked();
    return b;
}

void Tfrmuserhf::clearCallBack()
{
    DateTimeCallBack->setDateTime(kNoTime);
}

void Tfrmuserhf::showBooked(const std::optional<ops::visit::Customer>& c)
{
    if (!c || !c->booked) {
        LabelBooked->clear();
        return;
    }
    const ops::visit::Booked& b = *c->booked;
    const QString when =
        b.start.toString(QStringLiteral("yyyy-MM-dd HH:mm")) + QStringLiteral(" 至 ") +
        b.end.toString(b.end.date() == b.start.date() ? QStringLiteral("HH:mm") : QStringLiteral("yyyy-MM-dd HH:mm"));
    QString line = b.due ? QStringLiteral("预约回访：客户约在 %1 回访").arg(when)
                         : QStringLiteral("注意：该客户已预约在 %1 回访，还没有到时间").arg(when);
    line += QStringLiteral("（预约人：%1）").arg(b.booker);
    if (!b.remark.isEmpty())
        line += QStringLiteral("  备注：") + b.remark;
    LabelBooked->setText(line);
}

// While the operator waits between customers, a call-back that falls due is told at once (the
// taskbar entry asks for attention) instead of at the next draw. Quiet on a failing database:
// the next action says so.
void Tfrmuserhf::TimerCallBacksTimer()
{
    if (customerHeld() || m_call.project() <= 0)
        return;
    qint64 due = 0;
    try {
        due = ops::visit::dueCount(ADOcon(), m_call.project(), gUname, m_call.now());
    } catch (const db::Error& e) {
        db::logFailure(lcUi(), e, QStringLiteral("due call-backs"));
        return;
    }
    const qint64 before = LabelDueCallBacks->text().toLongLong();
    LabelDueCallBacks->setText(QString::number(due));
    if (due > before) {
        LabelBooked->setText(QStringLiteral("有%1个预约回访已到时间，请提取下一个客户").arg(due));
        QApplication::alert(window());
    }
}
