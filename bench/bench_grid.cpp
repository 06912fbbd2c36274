// tellvane-bench grid [--rows N] [--engine sqlite|postgresql|both]: opening the customer list of
// the customer data management window on N customers (a million by default): the time until its
// first screen shows and the memory it takes, against the same statement read as a plain select
// does (on the server: the whole result brought over before the first row) on the same data in
// the same run. On the server: the one the libpq environment names, or a throwaway cluster
// started for the run and stopped however it ends.
#include "bench/benches.h"
#include "bench/measure.h"
#include "bench/seats_place.h"

#include "core/dbgrid.h"
#include "core/msg.h"
#include "core/pub.h"
#include "customers/dataman.h"
#include "db/dm.h"
#include "db/transaction.h"
#include "db/vocab.h"

#include <QApplication>
#include <QLabel>
#include <QSqlQueryModel>

#include <cstdio>

namespace bench {
namespace {

// Starts the peak afresh and says where it stands.
double peakFromHere()
{
    resetPeak();
    return peakMb();
}

// One project of `rows` customers in batches of 50,000, written by one statement. On the server
// the row triggers are off for the load and the kept counts are then filled from the rows in one
// statement, as a migration does; the file keeps its triggers (it cannot switch them off).
void load(db::Connection& con, int rows, bool server)
{
    con.execute(QStringLiteral("insert into t_ywbh(ywname) values('大项目')"));
    const int p = con.scalar(QStringLiteral("select max(ywbh) from t_ywbh")).toInt();
    const QString series =
        server ? QStringLiteral(" from generate_series(1,%1) as s(i)").arg(rows) : QStringLiteral(" from s");
    const QString with = server ? QString()
                                : QStringLiteral("with recursive s(i) as (select 1 union all select i+1 from s "
                                                 "where i<%1) ")
                                      .arg(rows);
    const QString state = QStringLiteral("case when (i%1000*7919)%1000<900 then '未受理' when (i%1000*7919)%1000<950 "
                                         "then '无应答' else '已受理' end");
    db::Transaction t(con);
    if (server)
        con.execute(QStringLiteral("alter table yhda disable trigger user"));
    con.execute(
        QStringLiteral("insert into yhda(ywbh,pc,xh,yhxm,dq,dz,dhhm1,xxzl,drz,drsj,sljg) ") + with +
        QStringLiteral("select %1,(i-1)/50000+1,(i-1)%50000+1,'客户'||i,'区域'||(i%20),'某市某路'||(i%997)||'号',"
                       "cast(13000000000+i as text),'套餐A'||(i%7),'导入员','2026-12-01 09:00:00',")
            .arg(p) +
        state + series);
    if (server) {
        con.execute(QStringLiteral("insert into yhda_tally(ywbh,sljg,zk,n) select coalesce(ywbh,0),"
                                   "coalesce(sljg,''),coalesce('='||zdslz,''),count(*) from yhda where del=0 "
                                   "group by coalesce(ywbh,0),coalesce(sljg,''),coalesce('='||zdslz,'')"));
        con.execute(QStringLiteral("alter table yhda enable trigger user"));
    }
    t.commit();
    if (server)
        con.execute(QStringLiteral("analyze"));
}

// The figures of one engine, printed with its name in front.
void measure(const char* engine, bool server, int rows, const db::ServerParams& where, const QString& file)
{
    auto key = [engine](const char* k) { return QByteArray(engine) + '_' + k; };
    db::Connection& con = ADOcon();
    double loadMs = msOf([&] { load(con, rows, server); });
    print(key("load_s").constData(), loadMs / 1000.0);
    // A fresh start: what the load left in memory is given back before the list opens.
    con.close();
    if (server)
        con.openServer(where);
    else
        con.open(file);

    // The window as the menu opens it, until its first screen shows.
    double base = peakFromHere();
    Tfrmdataman* w = nullptr;
    const double openMs = msOf([&] {
        w = new Tfrmdataman;
        w->show();
        QApplication::processEvents();
        w->DBGrid1->value(0, QStringLiteral("id"));
    });
    print(key("open_list_ms").constData(), openMs);
    print(key("open_list_peak_mb").constData(), peakMb() - base);
    print(key("open_list_counter").constData(), w->Label1->text());
    print(key("open_list_rows_read").constData(), QString::number(w->DBGrid1->rowCount()));
    const QString sql = w->DBGrid1->sql();
    delete w;

    // The list's grid alone, then the same statement as a plain select into the same kind of
    // model, each on a reader of its own as the grid reads.
    base = peakFromHere();
    double gridMs = 0;
    double gridPeak = 0;
    {
        TDBGrid g;
        gridMs = msOf([&] {
            g.open(sql);
            g.value(0, QStringLiteral("id"));
        });
        gridPeak = peakMb() - base;
        print(key("grid_first_screen_ms").constData(), gridMs);
        print(key("grid_peak_mb").constData(), gridPeak);
        print(key("grid_to_row_10000_ms").constData(), msOf([&] { g.setCurrentRowIndex(9999); }));
        print(key("grid_rows_read_to_row_10000").constData(), QString::number(g.rowCount()));
    }
    base = peakFromHere();
    double plainMs = 0;
    double plainPeak = 0;
    {
        std::unique_ptr<db::Connection> reader;
        QSqlQueryModel m;
        plainMs = msOf([&] {
            reader = con.openReader();
            m.setQuery(reader->select(sql));
            m.data(m.index(0, 0));
        });
        plainPeak = peakMb() - base;
        m.clear();
    }
    print(key("plain_first_screen_ms").constData(), plainMs);
    print(key("plain_peak_mb").constData(), plainPeak);
    print(key("first_screen_ratio").constData(), plainMs / std::max(gridMs, 0.001));
    print(key("memory_ratio").constData(), plainPeak / std::max(gridPeak, 0.1));
}

} // namespace

int runGrid(int argc, char** argv)
{
    int rows = 1000000;
    QString engine = QStringLiteral("both");
    for (int i = 1; i + 1 < argc; i += 2) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == QLatin1String("--rows"))
            rows = QString::fromLocal8Bit(argv[i + 1]).toInt();
        else if (a == QLatin1String("--engine"))
            engine = QString::fromLocal8Bit(argv[i + 1]);
    }
    if (rows <= 0 || !(engine == u"both" || engine == u"sqlite" || engine == u"postgresql")) {
        std::fprintf(stderr, "usage: tellvane-bench grid [--rows N] [--engine sqlite|postgresql|both]\n");
        return 2;
    }
    print("rows", QString::number(rows));
    msg::setHandler([](const msg::Box& b) {
        std::fprintf(stderr, "box: %s\n", qPrintable(b.text));
        return msg::Answer::Ok;
    });
    gLoginOk = true;
    gUname = QStringLiteral("admin");
    gTruename = QStringLiteral("系统管理员");
    gTp = vocab::kAdmin;
    try {
        if (engine != u"postgresql") {
            PlaceGuard file(false);
            if (!file.ok())
                return 1;
            measure("sqlite", false, rows, {}, file.place().file);
        }
        if (engine != u"sqlite") {
            PlaceGuard server(true);
            if (!server.ok())
                return 1;
            print("server", server.serverInfo());
            TfrmDM dm;
            frmDM = &dm;
            struct Unset
            {
                ~Unset() { frmDM = nullptr; }
            } unset;
            dm.ADOcon.openServer(server.place().params);
            measure("postgresql", true, rows, server.place().params, QString());
            dm.ADOcon.close();
        }
    } catch (const db::Error& e) {
        std::fprintf(stderr, "database error: %s\n", qPrintable(e.text()));
        return 1;
    }
    msg::setHandler({});
    return 0;
}

} // namespace bench
