// Runs one import in a process of its own: import_child DATABASE WORKBOOK. Prints
// "committed N" after every commit, so that the test that starts it knows what must survive
// when it kills this process part-way.
#include "core/application.h"
#include "core/filedlg.h"
#include "core/msg.h"
#include "core/pub.h"
#include "customers/frmadddata.h"
#include "db/dm.h"

#include <QComboBox>
#include <QPushButton>
#include <QThread>
#include <cstdio>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TvApplication app(argc, argv);
    if (argc != 3)
        return 2;
    TfrmDM dm;
    frmDM = &dm;
    try {
        dm.ADOcon.open(QString::fromLocal8Bit(argv[1]));
    } catch (const db::Error& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        return 1;
    }
    gUname = QStringLiteral("admin");
    gTruename = QStringLiteral("系统管理员");
    msg::setHandler([](const msg::Box& b) {
        std::printf("box %s\n", qPrintable(b.text));
        std::fflush(stdout);
        return msg::Answer::Ok;
    });
    auto* w = new Tfrmadddata;
    w->setPauseEvery(200, 0);
    w->setCommitObserver([](int n) {
        std::printf("committed %d\n", n);
        std::fflush(stdout);
        QThread::msleep(3); // keep the import going long enough to be caught part-way
    });
    // Driven by the controls' names, the workbook chosen through the file dialog.
    filedlg::queueAnswers({QString::fromLocal8Bit(argv[2])});
    w->findChild<QPushButton*>(QStringLiteral("Button3"))->click();
    filedlg::clearAnswers();
    if (w->findChild<QComboBox*>(QStringLiteral("ComboBox1"))->count() == 0)
        return 1;
    w->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    delete w;
    return 0;
}
