#include "app/registerall.h"
#include "core/application.h"
#include "core/mainwindow.h"
#include "core/pub.h"
#include "db/dm.h"

int main(int argc, char** argv)
{
    TvApplication app(argc, argv);
    TfrmDM dm;
    frmDM = &dm;
    pub::setProgramArguments(app.arguments().mid(1));
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
