#include "core/login.h"

#include "core/msg.h"
#include "core/pub.h"
#include "core/text.h"
#include "db/backup.h"
#include "db/dm.h"
#include "db/sqlvalue.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSqlRecord>

QPointer<Tfrmlogin> frmlogin;

Tfrmlogin::Tfrmlogin(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint)
{
    frmlogin = this;
    setObjectName(QStringLiteral("Tfrmlogin"));
    setWindowTitle(QStringLiteral("Tellvane单机版系统登录"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto red = [this](const QString& t) {
        auto* l = new QLabel(t, this);
        l->setStyleSheet(QStringLiteral("color: red;"));
        return l;
    };
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setEchoMode(QLineEdit::Password);
    BitBtn1 = new QPushButton(QStringLiteral("确  定"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn1->setAutoDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("取   消"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setAutoDefault(false);

    auto* grid = new QGridLayout;
    grid->addWidget(red(QStringLiteral("用户名：")), 0, 0, Qt::AlignRight);
    grid->addWidget(Edit1, 0, 1);
    grid->addWidget(red(QStringLiteral("登录密码：")), 1, 0, Qt::AlignRight);
    grid->addWidget(Edit2, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    buttons->addStretch();
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(24, 20, 24, 16);
    outer->setSpacing(14);
    outer->addLayout(grid);
    outer->addLayout(buttons);
    setFixedSize(320, 150);

    connect(BitBtn1, &QPushButton::clicked, this, &Tfrmlogin::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &Tfrmlogin::BitBtn2Click);
    if (const QScreen* s = QGuiApplication::primaryScreen())
        move(s->geometry().center() - rect().center());
}

void Tfrmlogin::BitBtn1Click()
{
    try {
        gAppPath = pub::programFolder();
        db::Connection& con = ADOcon();
        con.close();
        con.open(pub::databaseFile());

        // The boxes keep what was typed; only the values used are trimmed.
        const QString name = text::trimmed(Edit1->text());
        const QString pwd = text::trimmed(Edit2->text());
        QSqlQuery q = con.select(QStringLiteral("select  *  from syslogin where zt=0 and  uname=") + db::quoted(name) +
                                 QStringLiteral(" and pwd=") + db::quoted(pwd));
        if (!q.next()) {
            msg::box(QStringLiteral("用户名或登录密码不正确!"), QStringLiteral("提示"), msg::Buttons::Ok);
            return;
        }
        gLoginOk = true;
        gTruename = q.value(QStringLiteral("truename")).toString();
        gUname = q.value(QStringLiteral("uname")).toString();
        gTp = q.value(QStringLiteral("tp")).toString();
        q.finish();
        WriteSysLog(QStringLiteral("成功登录系统"));

        QSqlQuery opt = con.select(QStringLiteral("select * from [option]"));
        gJgts = opt.next() ? opt.value(QStringLiteral("jgts")).toInt() : 0;
        opt.finish();

        // A failed safety copy is silent.
        db::backupTo(con, pub::backupFile());
        accept();
    } catch (const db::Error&) {
        msg::ShowMessage(QStringLiteral("系统在验证用户有效性时出错，请检查网络连接！"));
    }
}

void Tfrmlogin::BitBtn2Click()
{
    reject();
}
