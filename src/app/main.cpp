#include "app/registerall.h"
#include "core/application.h"
#include "core/logfile.h"
#include "core/mainwindow.h"
#include "core/pub.h"
#include "db/dm.h"
#include "ops/common/location.h"

#include <QDir>

int main(int argc, char** argv)
{
    TvApplication app(argc, argv);
    TfrmDM dm;
    frmDM = &dm;
    pub::setProgramArguments(app.arguments().mid(1));
    // Settings that cannot be read are reported at the login; the log goes beside the program then.
    QString log = QDir(pub::programFolder()).filePath(QLatin1String(logfile::kFileName));
    try {
        log = logfile::pathFor(pub::databaseLocation(), pub::programFolder());
    } catch (const std::exception&) {
    }
    logfile::install(log);
    registerAllWindows();
    int rc = 0;
    {
        TfrmMain w;
        w.showMaximized();
        rc = app.exec();
    }
    frmDM = nullptr;
    return rc;
}
