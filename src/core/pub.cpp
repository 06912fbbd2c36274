#include "core/pub.h"

#include "db/dm.h"
#include "db/sqlvalue.h"
#include "ops/common/oplog.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

bool gLoginOk = false;
QString gAppPath;
QString gUname;
QString gTruename;
QString gTp;
int gJgts = 0;
QString gIpAddr;

namespace pub {
namespace {
QString& folderOverride()
{
    static QString f;
    return f;
}

QStringList& programArguments()
{
    static QStringList a;
    return a;
}
} // namespace

QString programFolder()
{
    if (!folderOverride().isEmpty())
        return folderOverride();
    return QCoreApplication::applicationDirPath();
}

void setProgramFolder(const QString& folder)
{
    folderOverride() = folder;
}

QString databaseFile()
{
    return QDir(gAppPath.isEmpty() ? programFolder() : gAppPath).filePath(QStringLiteral("dhyx.dat"));
}

QString backupFile()
{
    return QDir(gAppPath.isEmpty() ? programFolder() : gAppPath).filePath(QStringLiteral("dhyx.bak"));
}

void setProgramArguments(const QStringList& arguments)
{
    programArguments() = arguments;
}

ops::Places places()
{
    ops::Places p;
    p.program = gAppPath.isEmpty() ? programFolder() : gAppPath;
    p.installed = ops::runsInstalled(p.program, QStringLiteral(TV_INSTALLED_BINDIR));
    if (p.installed) {
        // Folders of our own under the user's, named like the program's files.
        p.data = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
                     .filePath(QStringLiteral("tellvane"));
        p.settingsFiles << QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
                               .filePath(QStringLiteral("tellvane/") + QLatin1String(ops::kSettingsFileName))
                        << QStringLiteral(TV_INSTALLED_SYSCONFDIR "/tellvane/") + QLatin1String(ops::kSettingsFileName);
    }
    return p;
}

QString seatSettingsFile()
{
    const ops::Places p = places();
    return p.installed ? p.settingsFiles.first() : QDir(p.program).filePath(QLatin1String(ops::kSettingsFileName));
}

ops::Location databaseLocation()
{
    return ops::chooseLocation(places(), programArguments());
}

void resetLoginValues()
{
    gLoginOk = false;
    gAppPath.clear();
    gUname.clear();
    gTruename.clear();
    gTp.clear();
    gJgts = 0;
    gIpAddr.clear();
}

} // namespace pub

ops::Who pub::currentOperator()
{
    return ops::Who{gUname, gTruename, gIpAddr};
}

void WriteSysLog(const QString& logcon)
{
    ops::writeLog(ADOcon(), pub::currentOperator(), logcon);
}
