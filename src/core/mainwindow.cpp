#include "core/mainwindow.h"

#include "core/about.h"
#include "core/childframe.h"
#include "core/icons.h"
#include "core/login.h"
#include "core/msg.h"
#include "core/pub.h"
#include "core/windows.h"
#include "db/dm.h"
#include "db/vocab.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

QPointer<TfrmMain> frmMain;

namespace {
bool& loginOnShow()
{
    static bool on = true;
    return on;
}

} // namespace

const QList<TfrmMain::MenuEntry>& TfrmMain::menuEntries()
{
    // The captions end in "&" in the menu design: no access key, nothing displayed.
    static const QList<MenuEntry> entries = {
        {"[电访管理]", "电话访问", "Tfrmuserhf", false},
        {"[电访管理]", "预约回访", "Tfrmhflist", false},
        {"[电访管理]", "电访结果查询", "Tfrmywcx", false},
        {"[电访管理]", "项目问答记录查询", "Tfrmydcx", false},
        {"[电访管理]", "电访历史记录查询", "Tfrmhfhistory", false},
        {"[数据管理]", "项目管理", "Tfrmopt", true},
        {"[数据管理]", "项目问题设置", "Tfrmoptsel", true},
        {"[数据管理]", "客户数据导入", "Tfrmadddata", true},
        {"[数据管理]", "客户数据管理", "Tfrmdataman", true},
        {"[数据管理]", "登录用户管理", "Tfrmuser", true},
        {"[电访报表]", "电访结果统计", "Tfrmhwtj2", true},
        {"[电访报表]", "项目问答统计", "Tfrmxmtj", true},
        {"[电访报表]", "项目问答明细报表", "Tfrmqansbb", true},
        {"[电访报表]", "应答率统计", "Tfrmxyl", true},
        {"[系  统]", "系统设置", "Tfrmsysset", true},
        {"[系  统]", "修改密码", "Tfrmchangepwd", false},
        {"[系  统]", "系统日志", "Tfrmsyslog", true},
        {"[系  统]", "关于本系统", "Tfrmabout", false},
    };
    return entries;
}

void TfrmMain::setAutoLogin(bool on)
{
    loginOnShow() = on;
}

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent)
{
    frmMain = this;
    setObjectName(QStringLiteral("TfrmMain"));
    setWindowTitle(msg::appTitle());
    setWindowIcon(icons::appIcon());
    resize(791, 570);
    if (const QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());

    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("MDIClient"));
    m_mdi->setBackground(QColor(128, 128, 128));
    // Each window keeps its own state: a fixed window brought forward must not restore the
    // maximised ones, nor be maximised itself (see openWindow).
    m_mdi->setOption(QMdiArea::DontMaximizeSubWindowOnActivation);
    setCentralWidget(m_mdi);

    buildMenus();
    buildToolbar();

    QStatusBar* sb = statusBar();
    sb->setObjectName(QStringLiteral("StatusBar1"));
    sb->setFixedHeight(34);
    sb->setSizeGripEnabled(false);
    m_user = new QLabel(this);
    m_user->setObjectName(QStringLiteral("StatusPanel0"));
    m_user->setAlignment(Qt::AlignCenter);
    m_user->setFixedWidth(300);
    m_user->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_clock = new QLabel(this);
    m_clock->setObjectName(QStringLiteral("StatusPanel1"));
    m_clock->setAlignment(Qt::AlignCenter);
    m_clock->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    sb->addWidget(m_user);
    sb->addWidget(m_clock, 1);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TfrmMain::tick);
    Timer1->start();
    tick();
}

QAction* TfrmMain::addItem(QMenu* menu, const QString& caption, const QString& className, bool admin)
{
    QAction* a = menu->addAction(caption);
    a->setObjectName(className.isEmpty() ? caption : QStringLiteral("N_") + className);
    m_items.insert(caption, a);
    if (admin)
        m_adminItems << a;
    if (!className.isEmpty())
        connect(a, &QAction::triggered, this, [this, className] { openWindow(className); });
    return a;
}

void TfrmMain::buildMenus()
{
    QMenu* m = nullptr;
    for (const MenuEntry& e : menuEntries()) {
        if (!m || m->title() != e.menu)
            m = menuBar()->addMenu(e.menu);
        addItem(m, e.caption, e.className, e.admin);
    }
    QMenu* sys = m;
    QAction* exitItem = addItem(sys, QStringLiteral("退出系统"), QString(), false);
    exitItem->setObjectName(QStringLiteral("N_exit"));
    connect(exitItem, &QAction::triggered, this, &QWidget::close);

    windows::registerWindow(QStringLiteral("Tfrmabout"), WindowKind::Child, [] { return new Tfrmabout; });
}

void TfrmMain::buildToolbar()
{
    QToolBar* tb = addToolBar(QStringLiteral("ToolBar1"));
    tb->setObjectName(QStringLiteral("ToolBar1"));
    tb->setMovable(false);
    tb->setFloatable(false);
    tb->setIconSize(QSize(32, 32));
    tb->setFixedHeight(49);
    struct B
    {
        QToolButton** button;
        const char* name;
        const char* tip;
        const char* item;
        icons::Glyph glyph;
    };
    const B buttons[] = {
        {&ToolButton1, "ToolButton1", "用户回访", "电话访问", icons::Glyph::Visit},
        {&ToolButton2, "ToolButton2", "电访结果查询", "电访结果查询", icons::Glyph::Query},
        {&ToolButton3, "ToolButton3", "电访结果统计", "电访结果统计", icons::Glyph::Stats},
        {&ToolButton4, "ToolButton4", "修改密码", "修改密码", icons::Glyph::Password},
        {&ToolButton5, "ToolButton5", "关于电话营销系统", "关于本系统", icons::Glyph::About},
        {&ToolButton10, "ToolButton10", "退出系统", "退出系统", icons::Glyph::Exit},
    };
    int i = 0;
    for (const B& b : buttons) {
        auto* btn = new QToolButton(tb);
        btn->setObjectName(QString::fromLatin1(b.name));
        btn->setToolTip(QString::fromUtf8(b.tip));
        btn->setIcon(icons::toolIcon(b.glyph));
        btn->setIconSize(QSize(32, 32));
        btn->setFixedSize(39, 38);
        btn->setAutoRaise(true);
        QAction* item = m_items.value(QString::fromUtf8(b.item));
        connect(btn, &QToolButton::clicked, item, &QAction::trigger);
        *b.button = btn;
        tb->addWidget(btn);
        if (++i < 6) {
            auto* sep = new QWidget(tb);
            sep->setFixedWidth(i == 4 ? 5 : 4);
            tb->addWidget(sep);
        }
    }
}

QAction* TfrmMain::menuItem(const QString& caption) const
{
    return m_items.value(caption, nullptr);
}

QString TfrmMain::clockText(const QDateTime& t)
{
    static const char* const days[] = {"日", "一", "二", "三", "四", "五", "六"};
    const QDate d = t.date();
    const int dow = d.dayOfWeek() % 7; // Qt: Monday 1 .. Sunday 7
    return QStringLiteral("%1年%2月%3日   星期%4   %5")
        .arg(d.year())
        .arg(d.month())
        .arg(d.day())
        .arg(QString::fromUtf8(days[dow]))
        .arg(t.time().toString(QStringLiteral("HH:mm:ss")));
}

void TfrmMain::tick()
{
    m_clock->setText(clockText(QDateTime::currentDateTime()));
}

bool TfrmMain::runLogin()
{
    gLoginOk = false;
    Tfrmlogin dlg(this);
    dlg.exec();
    if (!gLoginOk)
        return false;
    m_user->setText(QStringLiteral("当前登录用户:") + gTruename);
    // a seat on the server says which one, so that a test seat is not taken for a live one
    const db::Connection& con = ADOcon();
    setWindowTitle(con.engine() == db::Engine::PostgreSQL
                       ? QStringLiteral("%1 - 服务器 %2").arg(msg::appTitle(), con.server().describe())
                       : msg::appTitle());
    applyGating();
    return true;
}

void TfrmMain::applyGating()
{
    const bool admin = gTp == vocab::kAdmin;
    for (QAction* a : m_adminItems)
        a->setEnabled(admin);
    ToolButton3->setEnabled(admin);
}

QWidget* TfrmMain::openWindow(const QString& className)
{
    if (!windows::isRegistered(className)) {
        msg::ShowMessage(QStringLiteral("此功能在本版本中尚未提供。"));
        return nullptr;
    }
    QWidget* w = windows::create(className);
    if (!w)
        return nullptr;
    switch (windows::kindOf(className)) {
    case WindowKind::Modal:
        w->setParent(this, w->windowFlags() | Qt::Dialog);
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        if (auto* d = qobject_cast<QDialog*>(w))
            d->exec();
        delete w;
        return nullptr;
    case WindowKind::Floating:
        w->setParent(this, Qt::Tool);
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->show();
        return w;
    case WindowKind::Child: {
        // While the work area shows maximised windows a new one opens maximised too; one of fixed
        // size opens framed in the middle and leaves the others as they are.
        bool overMaximised = false;
        for (const QMdiSubWindow* s : m_mdi->subWindowList())
            overMaximised = overMaximised || (s->isVisible() && s->isMaximized());
        auto* frame = new TChildFrame(w);
        m_mdi->addSubWindow(frame);
        frame->setWindowIcon(windowIcon());
        if (frame->keepsItsSize()) {
            frame->show();
        } else if (overMaximised || (w->windowState() & Qt::WindowMaximized)) {
            frame->show(); // its normal size first: the one it restores to
            frame->showMaximized();
        } else {
            frame->show();
        }
        return w;
    }
    }
    return w;
}

void TfrmMain::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    if (m_shown)
        return;
    m_shown = true;
    // Without a window manager (a bare X server) a maximised window keeps its normal size; fill
    // the screen ourselves then.
    QTimer::singleShot(200, this, [this] {
        const QScreen* s = screen();
        if (s && isMaximized() && width() < s->availableGeometry().width())
            setGeometry(s->availableGeometry());
    });
    if (!loginOnShow())
        return;
    QTimer::singleShot(0, this, [this] {
        if (!runLogin())
            QApplication::exit(0);
    });
}

void TfrmMain::closeEvent(QCloseEvent* e)
{
    // Every child window is asked first; one refusal keeps everything open.
    const QList<QMdiSubWindow*> subs = m_mdi->subWindowList();
    for (QMdiSubWindow* s : subs) {
        if (auto* f = qobject_cast<TChildForm*>(s->widget()); f && !f->FormCloseQuery()) {
            e->ignore();
            return;
        }
    }
    if (msg::box(QStringLiteral("您确定要退出Tellvane单机版系统么?"), QStringLiteral("退出系统确认"),
                 msg::Buttons::OkCancel) != msg::Answer::Ok) {
        e->ignore();
        return;
    }
    for (QMdiSubWindow* s : subs)
        if (auto* f = qobject_cast<TChildForm*>(s->widget()))
            f->approveClose();
    m_mdi->closeAllSubWindows();
    // The free-floating windows go too.
    for (QWidget* c : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (c->isWindow() && c->isVisible())
            c->close();
    e->accept();
    QApplication::quit();
}
