// The visit window: opening, the project, the counters, drawing and giving up a customer,
// showing the customer and the question, closing.
#include "visit/userhf.h"
#include "visit/userhf_messages.h"

#include "core/choices.h"
#include "core/dbgrid.h"
#include "core/msg.h"
#include "core/pub.h"
#include "core/text.h"
#include "core/widgets.h"
#include "db/dm.h"
#include "db/vocab.h"
#include "ops/design/projects.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPlainTextEdit>

using namespace userhf;

namespace {
// Drawing by number needs at least this many GBK bytes; shorter input draws by state.
constexpr int kNumberMinBytes = 5;
} // namespace

void Tfrmuserhf::FormShow()
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->showMaximized();
    else
        setWindowState(windowState() | Qt::WindowMaximized);
    clearCustomerFields();
    Memo3->clear();
    Memo1->clear();
    // The history's titles from the start, over no rows.
    showEmptyHistory();
    m_loadingProjects = true;
    try {
        choices::loadProjects(ComboBox1, ComboBox2, ops::design::activeProjectChoicesQuery());
    } catch (const db::Error& e) {
        m_loadingProjects = false;
        msg::ShowFailure(e, kOpenFailed);
        // Closed once the opening has finished, from the frame when there is one.
        QMetaObject::invokeMethod(
            this,
[this] { widgets::closeWindow(this); },
            Qt::QueuedConnection);
        return;
    }
    ComboBox1->setCurrentIndex(ComboBox1->count() > 0 ? 0 : -1);
    m_loadingProjects = false;
    if (ComboBox1->currentIndex() >= 0)
        useChosenProject();
}

// The chosen project becomes the call's: its prompt, its first question, its counters.
void Tfrmuserhf::useChosenProject()
{
    m_projectIndex = ComboBox1->currentIndex();
    m_call.setProject(choices::projectNumber(ComboBox1, ComboBox2));
    LoadProjectTips();
    LoadFirstQuestion();
    RefreshCounters();
}

void Tfrmuserhf::ComboBox1Change()
{
    if (ComboBox1->currentIndex() == m_projectIndex)
        return;
    // The held customer's answers would be filed under the other project's questions.
    if (customerHeld()) {
        m_loadingProjects = true;
        ComboBox1->setCurrentIndex(m_projectIndex);
        m_loadingProjects = false;
        msg::ShowMessage(kProjectLocked);
        return;
    }
    useChosenProject();
}

void Tfrmuserhf::LoadProjectTips()
{
    try {
        if (const std::optional<QString> tips = ops::visit::projectTips(ADOcon(), m_call.project()))
            Memo3->setPlainText(*tips);
    } catch (const db::Error& e) {
        msg::ShowFailure(e, kDbFailed);
    }
}

void Tfrmuserhf::RefreshCounters()
{
    const int ywbh = m_call.project();
    try {
        Label41->setText(QString::number(ops::visit::pendingCount(ADOcon(), ywbh, gUname)));
        Label40->setText(QString::number(ops::visit::todayCount(ADOcon(), ywbh, gTruename)));
        LabelDueCallBacks->setText(QString::number(ops::visit::dueCount(ADOcon(), ywbh, gUname, m_call.now())));
    } catch (const db::Error& e) {
        msg::ShowFailure(e, kDbFailed);
    }
}

void Tfrmuserhf::Timer1Timer()
{
    m_call.tick();
}

void Tfrmuserhf::Button1Click()
{
    if (customerHeld()) {
        msg::ShowMessage(kStillHeld);
        return;
    }
    const QString number = text::trimEdit(Edit1);
    DrawCustomer(text::gbkLength(number) < kNumberMinBytes ? DrawBy::State : DrawBy::Number);
}

void Tfrmuserhf::DrawCustomer(DrawBy by)
{
    if (ComboBox1->currentText().isEmpty())
        return;
    std::optional<ops::visit::Customer> c;
    try {
        c = by == DrawBy::State ? m_call.drawByState(ComboBox3->currentText())
                                : m_call.drawByNumber(text::trimmed(Edit1->text()));
    } catch (const db::Error& e) {
        clearCustomerFields();
        msg::ShowFailure(e, kDrawFailed);
        return;
    }
    showCustomer(c, m_call.resumes());
}

// Puts a drawn customer (already locked) on screen, or tells that none was found.
void Tfrmuserhf::showCustomer(const std::optional<ops::visit::Customer>& c, const std::optional<QDateTime>& resumes)
{
    showBooked(c);
    if (!c) {
        msg::ShowMessage(resumes ? hoursOverText(*resumes) : kNothingFound);
        clearCustomerFields();
        Memo4->clear();
        RefreshCounters();
        showEmptyHistory();
        return;
    }
    Memo4->clear();
    Edit2->setText(c->dhhm1);
    Label46->setText(c->yhxm);
    Label4->setText(c->dz);
    Label7->setText(c->dq);
    Memo2->setPlainText(c->xxzl);
    Label17->setText(c->sljg);
    showNumbers();
    try {
        DBGrid1->open(ops::visit::historyOf(text::trimmed(c->dhhm1)));
        // Read to the end: an unfinished read would hold the database's snapshot open.
        DBGrid1->fetchAll();
    } catch (const db::Error& e) {
        msg::ShowFailure(e, kDrawFailed);
        return;
    }
    RefreshCounters();
}

void Tfrmuserhf::showEmptyHistory()
{
    try {
        DBGrid1->open(ops::visit::noHistory());
    } catch (const db::Error& e) {
        msg::logFailure(e);
        DBGrid1->close();
    }
}

void Tfrmuserhf::clearCustomerFields()
{
    Label46->clear();
    Edit2->clear();
    Label4->clear();
    Label7->clear();
    Label17->clear();
    LabelBooked->clear();
    Memo2->clear();
    if (ComboDialNumber)
        ComboDialNumber->clear();
}

QString Tfrmuserhf::remark() const
{
    return text::trimmed(Memo4->toPlainText());
}

void Tfrmuserhf::Button7Click()
{
    if (!customerHeld())
        return;
    if (!msg::confirmOk(QStringLiteral("您确定要放弃受理么?"), QStringLiteral("操作确认")))
        return;
    hangUpFirst();
    try {
        m_call.giveUp(remark(), ComboBox3->currentText());
    } catch (const db::Error& e) {
        // Still held and locked: the operator can try again.
        msg::ShowFailure(e, kGiveUpFailed);
        return;
    }
    clearCustomerFields();
    Memo3->clear();
    Memo1->clear();
    Memo4->clear();
    LoadProjectTips();
    LoadFirstQuestion();
    RefreshCounters();
    try {
        DBGrid1->open(ops::visit::noHistory());
    } catch (const db::Error& e) {
        msg::ShowFailure(e, kGiveUpFailed);
    }
}

// Shows the call's question on screen, or nothing when it has none.
void Tfrmuserhf::ShowQuestion()
{
    Memo1->clear();
    ComboBox4->clear();
    const std::optional<ops::visit::Question>& q = m_call.question();
    if (!q)
        return;
    Memo1->setPlainText(QStringLiteral("问题") + QString::number(q->qbh) + QStringLiteral("(总共") +
                        QString::number(m_call.questionCount()) + QStringLiteral("个问题)") + QStringLiteral(":") +
                        u'\n' + q->qnr);
    for (const ops::visit::Option& o : q->options)
        ComboBox4->addItem(o.text);
    ComboBox4->setCurrentIndex(ComboBox4->count() > 0 ? 0 : -1);
}

void Tfrmuserhf::LoadFirstQuestion()
{
    try {
        m_call.loadFirstQuestion();
    } catch (const db::Error& e) {
        msg::ShowFailure(e, kFirstFailed);
        return;
    }
    ShowQuestion();
}

bool Tfrmuserhf::FormCloseQuery()
{
    if (!customerHeld())
        return true;
    return msg::confirmYes(QStringLiteral("您提取的号尚未回访完毕，如果您不想继续回访，建议您先点击[放弃受理]按钮再退"
                                          "出，您仍然坚持现在马上退出么？"),
                           QStringLiteral("退出确认!"));
}
