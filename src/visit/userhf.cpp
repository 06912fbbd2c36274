// The visit window: its controls and layout. Behaviour is in userhf_*.cpp.
#include "visit/userhf.h"

#include "core/dbgrid.h"
#include "core/pub.h"
#include "core/seatphone.h"
#include "core/widgets.h"
#include "db/dm.h"
#include "db/vocab.h"
#include "visit/clicklabel.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

QPointer<Tfrmuserhf> frmuserhf;

namespace {

const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 128, 0);
const QColor kPurple(128, 0, 128);

using widgets::named;

void setTextColour(QWidget* w, const QColor& c)
{
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::Text, c);
    p.setColor(QPalette::ButtonText, c);
    w->setPalette(p);
}

// A value label of fixed size in the given colour.
QLabel* valueLabel(const char* name, int width, const QColor& c, QWidget* parent)
{
    auto* l = named(new QLabel(parent), name);
    l->setFixedSize(width, 18);
    setTextColour(l, c);
    return l;
}

QPlainTextEdit* memo(const char* name, bool readOnly, QWidget* parent)
{
    auto* m = named(new QPlainTextEdit(parent), name);
    m->setReadOnly(readOnly);
    m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m->setTabChangesFocus(true);
    return m;
}

// A note that keeps its phrases whole: on one line where there is room, else one phrase a line
// (a Chinese line is otherwise broken between any two characters).
class PhraseLabel : public QLabel
{
public:
    PhraseLabel(const QStringList& phrases, QWidget* parent)
        : QLabel(phrases.join(QString()), parent), m_phrases(phrases)
    {
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    }
    QSize minimumSizeHint() const override
    {
        int widest = 0;
        for (const QString& p : m_phrases)
            widest = qMax(widest, fontMetrics().horizontalAdvance(p));
        const int m = 2 * margin() + contentsMargins().left() + contentsMargins().right();
        return {widest + m, fontMetrics().lineSpacing() * int(m_phrases.size())};
    }

protected:
    void resizeEvent(QResizeEvent* e) override
    {
        QLabel::resizeEvent(e);
        const QString one = m_phrases.join(QString());
        setText(fontMetrics().horizontalAdvance(one) <= contentsRect().width() ? one : m_phrases.join(u'\n'));
    }

private:
    QStringList m_phrases;
};

QPushButton* button(const char* name, const QString& caption, QWidget* parent)
{
    auto* b = named(new QPushButton(caption, parent), name);
    b->setFixedSize(90, 28);
    return b;
}

} // namespace

Tfrmuserhf::Tfrmuserhf(QWidget* parent) : TChildForm(parent), m_call(ADOcon(), pub::currentOperator())
{
    frmuserhf = this;
    setObjectName(QStringLiteral("Tfrmuserhf"));
    setWindowTitle(QStringLiteral("电话访问"));
    resize(982, 651);
    setWindowState(Qt::WindowMaximized);
    m_phone = seatphone::phone();
    buildLayout();

    Timer1 = named(new QTimer(this), "Timer1");
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &Tfrmuserhf::Timer1Timer);
    Timer1->start();
    TimerCallBacks = named(new QTimer(this), "TimerCallBacks");
    TimerCallBacks->setInterval(30000);
    connect(TimerCallBacks, &QTimer::timeout, this, &Tfrmuserhf::TimerCallBacksTimer);
    TimerCallBacks->start();

    connect(ComboBox1, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_loadingProjects)
            ComboBox1Change();
    });
    connect(Button1, &QPushButton::clicked, this, &Tfrmuserhf::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfrmuserhf::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &Tfrmuserhf::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &Tfrmuserhf::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &Tfrmuserhf::Button5Click);
    connect(Button6, &QPushButton::clicked, this, &Tfrmuserhf::Button6Click);
    connect(Button7, &QPushButton::clicked, this, &Tfrmuserhf::Button7Click);
    connect(Button8, &QPushButton::clicked, this, &Tfrmuserhf::Button8Click);
    connect(Button9, &QPushButton::clicked, this, &Tfrmuserhf::Button9Click);
    connect(Label19, &TClickLabel::clicked, this, &Tfrmuserhf::Label19Click);
    connect(Label20, &TClickLabel::clicked, this, &Tfrmuserhf::Label20Click);
}

void Tfrmuserhf::buildLayout()
{
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(4, 4, 4, 4);
    lay->setSpacing(4);
    lay->addWidget(buildConditions());
    lay->addWidget(buildCustomer());
    lay->addWidget(buildQuestionnaire(), 1);
    lay->addWidget(buildButtons());
}

QWidget* Tfrmuserhf::buildConditions()
{
    GroupBox1 = named(new QGroupBox(QStringLiteral("客户条件选择"), this), "GroupBox1");
    GroupBox1->setFixedHeight(65);
    ComboBox1 = named(new QComboBox(GroupBox1), "ComboBox1");
    ComboBox1->setMinimumWidth(160);
    ComboBox1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ComboBox2 = named(new QComboBox(GroupBox1), "ComboBox2");
    ComboBox2->setVisible(false);
    ComboBox3 = named(new QComboBox(GroupBox1), "ComboBox3");
    ComboBox3->setMaxVisibleItems(11);
    ComboBox3->addItems(vocab::handlingStates());
    ComboBox3->setCurrentIndex(0);
    Edit1 = named(new QLineEdit(GroupBox1), "Edit1");
    Edit1->setFixedWidth(130);
    auto* note =
        new PhraseLabel({QStringLiteral("(注：需要提取指定号码的客户时，"), QStringLiteral("请填写此处）")}, GroupBox1);
    note->setObjectName(QStringLiteral("LabelNote"));
    setTextColour(note, kRed);

    auto* row = new QHBoxLayout(GroupBox1);
    row->addWidget(new QLabel(QStringLiteral("项目名称："), GroupBox1));
    row->addWidget(ComboBox1);
    row->addSpacing(16);
    row->addWidget(new QLabel(QStringLiteral("客户当前状态："), GroupBox1));
    row->addWidget(ComboBox3);
    row->addSpacing(16);
    row->addWidget(new QLabel(QStringLiteral("指定客户号码："), GroupBox1));
    row->addWidget(Edit1);
    row->addWidget(note, 1);
    return GroupBox1;
}

QWidget* Tfrmuserhf::buildCustomer()
{
    GroupBox2 = named(new QGroupBox(QStringLiteral("客户资料"), this), "GroupBox2");
    GroupBox2->setFixedHeight(216);
    Label46 = valueLabel("Label46", 160, kBlue, GroupBox2);
    Edit2 = named(new QLineEdit(GroupBox2), "Edit2");
    Edit2->setReadOnly(true);
    Edit2->setFixedWidth(160);
    {
        QPalette p = Edit2->palette();
        p.setColor(QPalette::Base, QColor(212, 208, 200));
        p.setColor(QPalette::Text, kRed);
        Edit2->setPalette(p);
    }
    Label4 = valueLabel("Label4", 420, kBlue, GroupBox2);
    Label7 = valueLabel("Label7", 160, kBlue, GroupBox2);
    Label17 = valueLabel("Label17", 160, kRed, GroupBox2);
    Memo2 = memo("Memo2", true, GroupBox2);
    Memo3 = memo("Memo3", true, GroupBox2);
    setTextColour(Memo3, kRed);

    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(6);
    auto caption = [this](const QString& t) {
        auto* l = new QLabel(t, GroupBox2);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return l;
    };
    fields->addWidget(caption(QStringLiteral("客户姓名：")), 0, 0);
    fields->addWidget(Label46, 0, 1);
    fields->addWidget(caption(QStringLiteral("电话号码：")), 0, 2);
    fields->addWidget(Edit2, 0, 3);
    fields->addWidget(caption(QStringLiteral("地址：")), 1, 0);
    fields->addWidget(Label4, 1, 1, 1, 3);
    fields->addWidget(caption(QStringLiteral("区域：")), 2, 0);
    fields->addWidget(Label7, 2, 1);
    fields->addWidget(caption(QStringLiteral("当前受理状态：")), 2, 2);
    fields->addWidget(Label17, 2, 3);
    LabelBooked = valueLabel("LabelBooked", 420, kRed, GroupBox2);
    LabelBooked->setWordWrap(true);
    // Room for a call-back's note in two lines: in one line it ran past the panel.
    LabelBooked->setMinimumHeight(2 * LabelBooked->fontMetrics().lineSpacing() + 2);
    fields->addWidget(LabelBooked, 3, 0, 1, 4);
    fields->addWidget(Memo2, 4, 0, 1, 4);
    fields->setRowStretch(4, 1);
    if (m_phone) {
        GroupBox2->setFixedHeight(GroupBox2->maximumHeight() + 36); // room for the telephone bar
        buildPhone(fields, 5);
    }

    auto* tips = new QVBoxLayout;
    tips->addWidget(new QLabel(QStringLiteral("项目提示语："), GroupBox2));
    tips->addWidget(Memo3, 1);

    auto* row = new QHBoxLayout(GroupBox2);
    row->addLayout(fields, 3);
    row->addSpacing(8);
    row->addLayout(tips, 2);
    return GroupBox2;
}

QWidget* Tfrmuserhf::buildQuestionnaire()
{
    auto* area = new QWidget(this);
    GroupBox3 = named(new QGroupBox(QStringLiteral("问题内容"), area), "GroupBox3");
    Memo1 = memo("Memo1", true, GroupBox3);
    Memo1->setFixedHeight(86);
    Label19 = named(new TClickLabel(QStringLiteral("上一个问题"), GroupBox3), "Label19");
    Label20 = named(new TClickLabel(QStringLiteral("下一个问题"), GroupBox3), "Label20");
    for (QLabel* l : {static_cast<QLabel*>(Label19), static_cast<QLabel*>(Label20)}) {
        setTextColour(l, kGreen);
        QFont f = l->font();
        f.setUnderline(true);
        l->setFont(f);
    }
    auto* links = new QVBoxLayout;
    links->addWidget(Label19);
    links->addWidget(Label20);
    links->addStretch(1);
    auto* q = new QHBoxLayout(GroupBox3);
    q->addWidget(Memo1, 1);
    q->addLayout(links);

    GroupBox4 = named(new QGroupBox(QStringLiteral("客户选择"), area), "GroupBox4");
    setTextColour(GroupBox4, kRed);
    ComboBox4 = named(new QComboBox(GroupBox4), "ComboBox4");
    ComboBox4->setMinimumWidth(240);
    setTextColour(ComboBox4, Qt::black);
    Memo4 = named(new QPlainTextEdit(GroupBox4), "Memo4");
    Memo4->setFixedHeight(44);
    Memo4->setTabChangesFocus(true);
    setTextColour(Memo4, Qt::black);
    auto* remarkCaption = new QLabel(QStringLiteral("备注："), GroupBox4);
    setTextColour(remarkCaption, Qt::black);
    auto* a = new QGridLayout(GroupBox4);
    a->addWidget(ComboBox4, 0, 0, 1, 2);
    a->addWidget(remarkCaption, 1, 0, Qt::AlignTop);
    a->addWidget(Memo4, 1, 1);

    auto* top = new QHBoxLayout;
    top->addWidget(GroupBox3, 3);
    top->addWidget(GroupBox4, 2);

    GroupBox5 = named(new QGroupBox(QStringLiteral("当前客户回访历史记录"), area), "GroupBox5");
    DBGrid1 = new TDBGrid(GroupBox5);
    DBGrid1->setColumns({{QStringLiteral("ywname"), QStringLiteral("项目名称"), 155},
                         {QStringLiteral("slsj"), QStringLiteral("受理时间"), 180},
                         {QStringLiteral("slz"), QStringLiteral("话务员"), 126},
                         {QStringLiteral("sljg"), QStringLiteral("受理结果"), 128},
                         {QStringLiteral("bz"), QStringLiteral("备注"), 169}});
    setTextColour(DBGrid1, kBlue);
    auto* h = new QVBoxLayout(GroupBox5);
    h->addWidget(DBGrid1);

    auto* lay = new QVBoxLayout(area);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->addLayout(top);
    lay->addWidget(GroupBox5, 1);
    return area;
}

QWidget* Tfrmuserhf::buildButtons()
{
    auto* area = new QWidget(this);
    area->setFixedHeight(112);
    Button1 = button("Button1", QStringLiteral("提取客户"), area);
    Button2 = button("Button2", QStringLiteral("提交结果"), area);
    Button3 = button("Button3", QStringLiteral("关机"), area);
    Button4 = button("Button4", QStringLiteral("停机"), area);
    Button8 = button("Button8", QStringLiteral("下次联系"), area);
    Button5 = button("Button5", QStringLiteral("无应答"), area);
    Button6 = button("Button6", QStringLiteral("拒访"), area);
    Button9 = button("Button9", QStringLiteral("无效数据"), area);
    setTextColour(Button9, kPurple);
    Button7 = button("Button7", QStringLiteral("放弃受理"), area);
    Label40 = valueLabel("Label40", 80, kRed, area);
    Label41 = valueLabel("Label41", 80, kRed, area);
    LabelDueCallBacks = valueLabel("LabelDueCallBacks", 80, kRed, area);
    LabelDueCallBacks->setText(QStringLiteral("0"));
    Label40->setText(QStringLiteral("0"));
    Label41->setText(QStringLiteral("0"));

    auto* grid = new QGridLayout(area);
    grid->setContentsMargins(8, 4, 8, 4);
    int col = 0;
    for (QPushButton* b : {Button1, Button2, Button3, Button4, Button8})
        grid->addWidget(b, 0, col++);
    col = 0;
    for (QPushButton* b : {Button5, Button6, Button9, Button7})
        grid->addWidget(b, 1, col++);
    // The call-back time under the buttons, "下次联系" books it.
    grid->addWidget(buildCallBack(area), 2, 0, 1, 6);
    grid->setColumnStretch(5, 1);
    grid->addWidget(new QLabel(QStringLiteral("您的今日回访量："), area), 0, 6, Qt::AlignRight);
    grid->addWidget(Label40, 0, 7);
    grid->addWidget(new QLabel(QStringLiteral("总计未受理量："), area), 1, 6, Qt::AlignRight);
    grid->addWidget(Label41, 1, 7);
    grid->addWidget(new QLabel(QStringLiteral("到期预约回访："), area), 2, 6, Qt::AlignRight);
    grid->addWidget(LabelDueCallBacks, 2, 7);
    return area;
}
