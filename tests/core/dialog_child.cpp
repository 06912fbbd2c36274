// A program that shows its file dialog on the database's folder and later writes a row, so that a
// test can put another program on the file in between: dialog_child DATABASE. Prints "shown" once
// the dialog has listed the folder and closed, reads a line, writes one log row in a transaction,
// prints "written", and waits to be killed.
#include "core/application.h"
#include "core/filedlg.h"
#include "db/connection.h"
#include "db/transaction.h"

#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QThread>
#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TvApplication app(argc, argv);
    if (argc != 2)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[1]);
    db::Connection con;
    try {
        con.open(path);
        con.execute(QStringLiteral("insert into syslog (uname, logcon) values ('child', 'before the dialog')"));
    } catch (const db::Error& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        return 1;
    }

    {
        // Listed in the detail view, so that every file's type is asked for as well as its icon.
        const auto d = filedlg::makeDialog(nullptr, QStringLiteral("打开"), QFileInfo(path).absolutePath(),
                                           QStringLiteral("公话数据Excel文档(*.xls)"), filedlg::Purpose::Open);
        d->setViewMode(QFileDialog::Detail);
        bool loaded = false;
        if (auto* model = d->findChild<QFileSystemModel*>())
            QObject::connect(model, &QFileSystemModel::directoryLoaded, [&] { loaded = true; });
        d->show();
        QElapsedTimer t;
        t.start();
        while (!loaded && t.elapsed() < 5000)
            app.processEvents(QEventLoop::AllEvents, 20);
        while (t.elapsed() < (loaded ? 1500 : 0)) // icons and types are gathered after the listing
            app.processEvents(QEventLoop::AllEvents, 20);
        d->close();
    }
    std::printf("shown\n");
    std::fflush(stdout);

    std::string line;
    std::getline(std::cin, line);
    try {
        db::Transaction tx(con);
        con.execute(QStringLiteral("insert into syslog (uname, logcon) values ('child', 'after the dialog')"));
        tx.commit();
        std::printf("written\n");
    } catch (const db::Error& e) {
        std::printf("refused %s\n", qPrintable(e.text()));
    }
    std::fflush(stdout);
    QThread::sleep(120);
    return 0;
}
