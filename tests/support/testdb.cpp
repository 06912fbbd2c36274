#include "support/testdb.h"
#include "support/operators.h"

#include "db/password.h"

#include "core/pub.h"
#include "db/backup.h"
#include "db/dm.h"
#include "db/schema.h"
#include "db/sqlvalue.h"
#include "ops/common/location.h"

#include <QDir>
#include <QFile>

namespace tst {

TestDb::TestDb() : m_dir(std::make_unique<QTemporaryDir>())
{
    db::setPasswordHashCost(db::HashCost::Least);
    pub::resetLoginValues();
    pub::setProgramFolder(m_dir->path());
    if (tst::onServer()) {
        m_server = std::make_unique<ServerDb>();
        if (!m_server->ok())
            return;
        // A login in this folder goes to the same server database, as a seat's settings say.
        QFile ini(QDir(folder()).filePath(QString::fromLatin1(ops::kSettingsFileName)));
        if (!ini.open(QIODevice::WriteOnly) ||
            ini.write("[database]\nengine=postgresql\ndatabase=" + m_server->params().database.toUtf8() + '\n') < 0)
            return;
    } else {
        QString err;
        if (!db::createDatabase(file(), &err)) {
            qWarning("cannot create test database: %s", qPrintable(err));
            return;
        }
    }
    m_dm = std::make_unique<TfrmDM>();
    frmDM = m_dm.get();
    try {
        if (m_server)
            m_dm->ADOcon.openServer(m_server->params());
        else
            m_dm->ADOcon.open(file());
        if (!m_server) // a test's file need not survive a power cut: no commit waits for the disk
            m_dm->ADOcon.execute(QStringLiteral("PRAGMA synchronous=OFF"));
        m_ok = true;
    } catch (const db::Error& e) {
        qWarning("cannot open test database: %s", qPrintable(e.text()));
    }
}

TestDb::~TestDb()
{
    // A safety copy started by a login in this folder ends before the folder goes.
    db::waitForBackup();
    if (m_dm)
        m_dm->ADOcon.close();
    if (frmDM == m_dm.get())
        frmDM = nullptr;
    m_dm.reset();
    m_server.reset();
    pub::setProgramFolder(QString());
    pub::resetLoginValues();
}

QString TestDb::folder() const
{
    return m_dir->path();
}

void TestDb::openSecond(db::Connection& other) const
{
    if (m_server)
        other.openServer(m_server->params());
    else
        other.open(file());
}

QString TestDb::file() const
{
    if (m_server)
        return QString();
    return QDir(m_dir->path()).filePath(QStringLiteral("dhyx.dat"));
}

void TestDb::loginAs(const QString& uname, const QString& truename, const QString& tp, int jgts)
{
    gLoginOk = true;
    gAppPath = folder();
    gUname = uname;
    gTruename = truename;
    gTp = tp;
    gJgts = jgts;
}

void TestDb::loginAdmin()
{
    loginAs(QStringLiteral("admin"), QStringLiteral("系统管理员"), QStringLiteral("管理员"));
}

void TestDb::loginOperator(const QString& uname, const QString& truename)
{
    if (count(QStringLiteral("syslogin"), QStringLiteral("uname=") + db::quoted(uname)) == 0)
        addOperator(uname, truename, QStringLiteral("pw"));
    loginAs(uname, truename, QStringLiteral("话务员"));
}

qint64 TestDb::addOperator(const QString& uname, const QString& truename, const QString& pwd, const QString& tp, int zt)
{
    return tst::addOperatorRow(ADOcon(), uname, truename, pwd, tp, zt);
}

void TestDb::exec(const QString& sql)
{
    ADOcon().execute(sql);
}

QVariant TestDb::scalar(const QString& sql)
{
    return ADOcon().scalar(sql);
}

qint64 TestDb::count(const QString& table, const QString& where)
{
    return scalar(QStringLiteral("select count(*) from ") + table +
                  (where.isEmpty() ? QString() : QStringLiteral(" where ") + where))
        .toLongLong();
}

} // namespace tst
