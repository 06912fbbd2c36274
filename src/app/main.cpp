#include "app/registerall.h"
#include "core/application.h"
#include "core/logfile.h"
#include "core/mainwindow.h"
#include "core/msg.h"
#include "core/pub.h"
#include "db/dm.h"
#include "db/error.h"
#include "ops/common/location.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <optional>

namespace {

// --check: opens the database the program would work on (laid first, as at any start), prints
// where it and the log are and ends; 0 when it opened. For a site checking a seat's settings, and
// for trying an installed program without a screen.
int check(const ops::Location& where, const QString& log)
{
    try {
        db::Connection con(QStringLiteral("check"));
        if (where.server)
            con.openServer(where.params);
        else
            con.open(where.file);
        con.scalar(QStringLiteral("select count(*) from syslogin"));
    } catch (const db::Error& e) {
        std::fprintf(stderr, "%s\n",
                     qPrintable(QStringLiteral("无法打开数据库 %1：%2").arg(where.describe(), e.text())));
        return 1;
    }
    std::printf("%s\n", qPrintable(QStringLiteral("数据库：%1\n日志文件：%2").arg(where.describe(), log)));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    TvApplication app(argc, argv);
    TfrmDM dm;
    frmDM = &dm;
    const QStringList arguments = app.arguments().mid(1);
    pub::setProgramArguments(arguments);
    const ops::Places places = pub::places();
    // Settings that cannot be read are reported at the login; the log goes to the data folder then.
    QString log = QDir(places.dataFolder()).filePath(QLatin1String(logfile::kFileName));
    std::optional<ops::Location> where;
    try {
        where = pub::databaseLocation();
        // Installed, the program's folder is not where the data is: the log stays in the data folder.
        if (!places.installed)
            log = logfile::pathFor(*where, places.program);
    } catch (const std::exception& e) {
        if (arguments.contains(QLatin1String("--check"))) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
    }
    QDir().mkpath(QFileInfo(log).absolutePath());
    logfile::install(log);
    QString laid;
    if (where) {
        const ops::Prepared prepared = ops::prepareDatabase(places, *where);
        if (!prepared.error.isEmpty())
            qCWarning(lcUi).noquote() << prepared.error; // the login then says that it cannot open it
        if (prepared.laid) {
            laid = QStringLiteral("已在 %1 建立新的数据库，以后的数据都保存在这里。").arg(where->describe());
            qCInfo(lcUi).noquote() << laid;
        }
    }
    if (arguments.contains(QLatin1String("--check")))
        return check(*where, log);
    registerAllWindows();
    // Said once, before the login, so that the user knows where the data is kept (the About window
    // names it later).
    if (!laid.isEmpty())
        msg::ShowMessage(laid);
    int rc = 0;
    {
        TfrmMain w;
        w.showMaximized();
        rc = app.exec();
    }
    frmDM = nullptr;
    return rc;
}
