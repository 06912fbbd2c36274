#include "core/login.h"

#include "core/entrydialog.h"
#include "core/msg.h"
#include "core/pub.h"
#include "core/text.h"
#include "core/waitcursor.h"
#include "db/backup.h"
#include "db/dm.h"
#include "db/serverupgrade.h"
#include "ops/common/login.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

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
    BitBtn1 = plainButton(this, QStringLiteral("BitBtn1"), QStringLiteral("确  定"));
    BitBtn1->setDefault(true);
    BitBtn1->setAutoDefault(true);
    BitBtn2 = plainButton(this, QStringLiteral("BitBtn2"), QStringLiteral("取   消"));

    auto* grid = new QGridLayout;
    grid->addWidget(red(QStringLiteral("用户名：")), 0, 0, Qt::AlignRight);
    grid->addWidget(Edit1, 0, 1);
    grid->addWidget(red(QStringLiteral("登录密码：")), 1, 0, Qt::AlignRight);
    grid->addWidget(Edit2, 1, 1);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(24, 20, 24, 16);
    outer->setSpacing(14);
    outer->addLayout(grid);
    outer->addLayout(buttonBar({BitBtn1, BitBtn2}, true));
    setFixedSize(320, 150);

    connect(BitBtn1, &QPushButton::clicked, this, &Tfrmlogin::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &Tfrmlogin::BitBtn2Click);
    if (const QScreen* s = QGuiApplication::primaryScreen())
        move(s->geometry().center() - rect().center());
}

namespace {

// The login waits this long for another program's write to end, then says so: the hourglass
// shows, and a busy database does not look like a hung program.
constexpr int kLoginBusyTimeoutMs = 3000;

const QString kLoginFailed = QStringLiteral("系统在验证用户有效性时出错，请检查网络连接！");
const QString kLocked = QStringLiteral("系统在验证用户有效性时出错：数据库正被其他程序使用（已锁定），请稍后再试！");
const QString kReadOnly =
    QStringLiteral("系统在验证用户有效性时出错：数据库文件是只读的，请检查文件属性和所在文件夹的写入权限！");

const QString kDenied =
    QStringLiteral("系统在验证用户有效性时出错：数据库账户没有访问数据表的权限，请联系数据库管理员授权！\n（%1）");

const QString kBadSettings = QStringLiteral("数据库设置有误：%1");
const QString kNoServer = QStringLiteral("无法连接数据库服务器 %1：%2");
const QString kOldServer = QStringLiteral("服务器 %1 上的数据库与本程序的版本不一致，请系统管理员运行 tellvane-initdb "
                                          "--server 升级数据库后再登录！");

// The server could not be reached or refused the connection: the message names the server and
// its reason; the reason itself goes to the log.
class NoServer : public std::runtime_error
{
public:
    NoServer(const QString& shown, const db::Error& why)
        : std::runtime_error(shown.toStdString()), text(shown), reason(why)
    {
    }
    QString text;
    db::Error reason;
};

QString messageFor(const db::Error& e, const db::Connection& con)
{
    const QString t = e.text();
    if (e.fault() == db::Fault::Permission)
        return kDenied.arg(t.simplified());
    if (con.isReadOnly() || t.contains(QLatin1String("readonly"), Qt::CaseInsensitive) ||
        t.contains(QLatin1String("read-only"), Qt::CaseInsensitive))
        return kReadOnly;
    if (t.contains(QLatin1String("locked"), Qt::CaseInsensitive) ||
        t.contains(QLatin1String("busy"), Qt::CaseInsensitive))
        return kLocked;
    return kLoginFailed;
}

// The rest of the program waits as long as it always did.
struct LoginBusyTimeout
{
    db::Connection& con;
    explicit LoginBusyTimeout(db::Connection& c) : con(c) { con.setBusyTimeout(kLoginBusyTimeoutMs); }
    ~LoginBusyTimeout() { con.setBusyTimeout(db::Connection::kDefaultBusyTimeoutMs); }
};

} // namespace

void Tfrmlogin::BitBtn1Click()
{
    WaitCursor wait;
    db::Connection& con = ADOcon();
    LoginBusyTimeout shortWait(con);
    // Nothing of a failed login stays: no login values, the hourglass gone, the reason in a box.
    auto refuse = [&wait](const QString& text) {
        const QString folder = gAppPath;
        pub::resetLoginValues();
        gAppPath = folder;
        wait.restore();
        msg::ShowMessage(text);
    };
    try {
        gAppPath = pub::programFolder();
        ops::Location where;
        try {
            where = pub::databaseLocation();
        } catch (const ops::SettingsError& e) {
            throw ops::SettingsError(kBadSettings.arg(e.text()));
        }
        if (!where.server)
            con.close();
        // The boxes keep what was typed; only the values used are trimmed.
        const QString name = text::trimmed(Edit1->text());
        const QString password = text::trimmed(Edit2->text());
        bool admitted = true;
        if (where.server) {
            // The seat logs in as the operator's own role: the server checks the password.
            try {
                admitted = ops::openAsOperator(con, where.params, name, password);
            } catch (const db::Error& e) {
                throw NoServer(kNoServer.arg(where.describe(), e.text().simplified()), e); // libpq breaks its lines
            }
        } else {
            con.open(where.file);
        }

        // A database laid or upgraded by another release: nothing is written to it.
        if (admitted && where.server && !db::serverSchemaCurrent(con)) {
            qCWarning(lcUi).noquote() << "the server's schema is not this release's:" << where.describe();
            con.close();
            refuse(kOldServer.arg(where.describe()));
            return;
        }
        const std::optional<ops::LoginFound> found = admitted ? ops::logIn(con, name, password, gIpAddr) : std::nullopt;
        if (!found) {
            wait.restore();
            msg::box(QStringLiteral("用户名或登录密码不正确!"), QStringLiteral("提示"), msg::Buttons::Ok);
            return;
        }
        // Set only once the login has counted: until then no login value says that someone is
        // logged in.
        gTruename = found->truename;
        gUname = found->uname;
        gTp = found->tp;
        gJgts = found->jgts;
        gLoginOk = true;

        // A failed safety copy is silent; a large one must not hold up the main window. A server
        // database is backed up with the server's own tools, not by the seats.
        if (!where.server)
            db::startBackup(con.filePath(), where.backupFile());
        accept();
    } catch (const ops::SettingsError& e) {
        qCWarning(lcUi).noquote() << e.text();
        refuse(e.text());
    } catch (const NoServer& e) {
        msg::logFailure(e.reason, e.text);
        refuse(e.text);
    } catch (const db::Error& e) {
        const QString text = messageFor(e, con);
        msg::logFailure(e, text);
        refuse(text);
    }
}

void Tfrmlogin::BitBtn2Click()
{
    reject();
}
