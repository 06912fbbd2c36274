#include "support/testdb.h"

#include "core/pub.h"
#include "db/backup.h"
#include "db/dm.h"
#include "ops/common/location.h"

#include <QDir>
#include <QFile>

namespace tst {

detail::DataModule::DataModule() : dm(std::make_unique<TfrmDM>())
{
    pub::resetLoginValues();
    frmDM = dm.get();
}

detail::DataModule::~DataModule()
{
    if (frmDM == dm.get())
        frmDM = nullptr;
    pub::setProgramFolder(QString());
    pub::resetLoginValues();
}

TestDb::TestDb() : OpsDb(dm->ADOcon)
{
    pub::setProgramFolder(folder());
    if (!onServer())
        return;
    // A login in this folder goes to the same server database, as a seat's settings say.
    QFile ini(QDir(folder()).filePath(QString::fromLatin1(ops::kSettingsFileName)));
    if (!ini.open(QIODevice::WriteOnly) ||
        ini.write("[database]\nengine=postgresql\ndatabase=" + con().server().database.toUtf8() + '\n') < 0)
        m_ok = false;
}

TestDb::~TestDb()
{
    // A safety copy started by a login in this folder ends before the folder goes.
    db::waitForBackup();
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
    if (con().scalar(QStringLiteral("select count(*) from syslogin where uname=?"), {uname}).toInt() == 0)
        addOperator(con(), uname, truename, QStringLiteral("pw"));
    loginAs(uname, truename, QStringLiteral("话务员"));
}

} // namespace tst
