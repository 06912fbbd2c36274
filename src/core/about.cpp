#include "core/about.h"

#include "core/icons.h"
#include "core/logfile.h"
#include "core/mainwindow.h"
#include "db/dm.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

QPointer<Tfrmabout> frmabout;

Tfrmabout::Tfrmabout(QWidget* parent) : TChildForm(parent)
{
    frmabout = this;
    setObjectName(QStringLiteral("Tfrmabout"));
    setWindowTitle(QStringLiteral("关于本系统"));
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAutoFillBackground(true);
    // No title bar: a raised edge marks the window.
    setStyleSheet(QStringLiteral("Tfrmabout { border: 2px outset #a0a0a0; }"));
    setAttribute(Qt::WA_StyledBackground, true);

    auto* logo = new QLabel(this);
    logo->setPixmap(icons::appIcon().pixmap(64, 64));
    logo->setAlignment(Qt::AlignCenter);
    auto* name = new QLabel(QStringLiteral("Tellvane 电话回访与营销系统"), this);
    QFont f = name->font();
    f.setPointSize(f.pointSize() + 5);
    f.setBold(true);
    name->setFont(f);
    name->setAlignment(Qt::AlignCenter);
    auto* edition = new QLabel(QStringLiteral("单机版  %1").arg(QStringLiteral("1.0")), this);
    edition->setAlignment(Qt::AlignCenter);
    auto* info = new QLabel(functionsText(), this);
    info->setObjectName(QStringLiteral("LabelFunctions"));
    info->setWordWrap(true);
    info->setFixedWidth(380);
    auto* files = new QLabel(placesText(), this);
    files->setObjectName(QStringLiteral("LabelPlaces"));
    files->setWordWrap(true);
    files->setFixedWidth(380);
    files->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* maker = new QLabel(QStringLiteral("© Tellvane"), this);
    maker->setAlignment(Qt::AlignCenter);
    Button1 = new QPushButton(QStringLiteral("确    定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    connect(Button1, &QPushButton::clicked, this, &QWidget::close);

    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(30, 24, 30, 20);
    lay->addWidget(logo);
    lay->addWidget(name);
    lay->addWidget(edition);
    lay->addSpacing(8);
    lay->addWidget(info);
    lay->addSpacing(8);
    lay->addWidget(files);
    lay->addSpacing(8);
    lay->addWidget(maker);
    lay->addWidget(Button1, 0, Qt::AlignHCenter);
    adjustSize();
}

QString Tfrmabout::functionsText()
{
    // Only what this build can open is named, menu by menu, in the menu's words.
    QString text = QStringLiteral("电话调查与客户回访系统。本版本提供以下功能：");
    QString menu;
    QStringList items;
    auto flush = [&] {
        if (!items.isEmpty())
            text += QStringLiteral("\n") +
                    QString(menu).remove(QLatin1Char('[')).remove(QLatin1Char(']')).remove(QLatin1Char(' ')) +
                    QStringLiteral("：") + items.join(QStringLiteral("、"));
        items.clear();
    };
    for (const TfrmMain::MenuEntry& e : TfrmMain::menuEntries()) {
        if (e.menu != menu) {
            flush();
            menu = e.menu;
        }
        if (e.className != QLatin1String("Tfrmabout") && windows::isRegistered(e.className))
            items << e.caption;
    }
    flush();
    return text;
}

QString Tfrmabout::placesText()
{
    // Where to look when something went wrong: the database in use and the log with the reasons.
    const db::Connection& con = ADOcon();
    QString database = QStringLiteral("（未打开）");
    if (con.isOpen())
        database =
            con.engine() == db::Engine::PostgreSQL ? con.server().describe() : QDir::toNativeSeparators(con.filePath());
    const QString log = logfile::path();
    return QStringLiteral("数据库：") + database + QStringLiteral("\n日志文件：") +
           (log.isEmpty() ? QStringLiteral("（无）") : QDir::toNativeSeparators(log));
}
