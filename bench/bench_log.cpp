// tellvane-bench log [ROWS]: the operation-log viewer over a log of a million rows - opening on
// the newest 10,000 and searching by operator, by text and by days - against the statements as
// first written (the day compared through format(), the operator without an index).
#include "bench/benches.h"
#include "bench/measure.h"
#include "bench/session.h"

#include "admin/frmsyslog.h"
#include "core/dbgrid.h"
#include "core/msg.h"
#include "core/pub.h"
#include "db/dm.h"
#include "db/schema.h"
#include "db/transaction.h"
#include "ops/admin/oplogquery.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace bench {
namespace {

using bench::print; // the plain figures beside the timing overload below

const QDateTime kStart(QDate(2023, 1, 1), QTime(8, 0));
constexpr int kOperators = 20;

// Median milliseconds of three runs: elapsed time, and the processor time of this program (on a
// machine shared with other work the second is what the same run takes alone).
struct Ms
{
    double wall = 0;
    double cpu = 0;
};

Ms timed(const std::function<void()>& fn)
{
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        const std::clock_t c = std::clock();
        fn();
        cpu.push_back(double(std::clock() - c) * 1000.0 / CLOCKS_PER_SEC);
        wall.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    return {wall[1], cpu[1]};
}

void print(const QString& key, const Ms& ms)
{
    print(qPrintable(key + QStringLiteral("_ms")), ms.wall);
    print(qPrintable(key + QStringLiteral("_cpu_ms")), ms.cpu);
}

QString operatorName(int i)
{
    return QStringLiteral("话务员%1").arg(i);
}

// rows log rows over two years, oldest first, as logins and administrative work write them;
// one operator in 10,000 rows is "稀客", one text in 20,000 rows holds "罕见".
bool makeLog(int rows)
{
    db::Transaction t(ADOcon());
    QSqlQuery ins(ADOcon().database());
    ins.prepare(QStringLiteral("insert into syslog(uname,truename,dt,logcon,ipaddr) values(?,?,?,?,'')"));
    const qint64 span = 730LL * 86400;
    for (int i = 0; i < rows; ++i) {
        const int who = i % 10000 == 7 ? -1 : (i * 7) % kOperators;
        QString text;
        switch (i % 6) {
        case 0:
            text = QStringLiteral("成功登录系统");
            break;
        case 1:
            text = QStringLiteral("添加操作人员:u%1(姓名%1)").arg(i % 5000);
            break;
        case 2:
            text = QStringLiteral("为%1条用户数据指定受理人话务员%2").arg(i % 300).arg(i % kOperators);
            break;
        case 3:
            text = QStringLiteral("导入%1条营销数据到项目:项目%2").arg(i % 900).arg(i % 40);
            break;
        case 4:
            text = QStringLiteral("修改项目“项目%1”中电话号码为13%2的用户营销结果为成功")
                       .arg(i % 40)
                       .arg(i, 9, 10, QLatin1Char('0'));
            break;
        default:
            text = i % 20000 == 5 ? QStringLiteral("删除项目:罕见项目")
                                  : QStringLiteral("删除问题：问题%1(项目:项目%2)").arg(i % 50).arg(i % 40);
        }
        ins.bindValue(0, who < 0 ? QStringLiteral("guest") : QStringLiteral("u%1").arg(who));
        ins.bindValue(1, who < 0 ? QStringLiteral("稀客") : operatorName(who));
        ins.bindValue(2, kStart.addSecs(span * i / rows).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        ins.bindValue(3, text);
        if (!ins.exec()) {
            std::fprintf(stderr, "insert failed: %s\n", qPrintable(ins.lastError().text()));
            return false;
        }
    }
    t.commit();
    ADOcon().execute(QStringLiteral("ANALYZE"));
    return true;
}

// Every row of a statement, read front to back; the number of rows.
int readAll(const QString& jet)
{
    QSqlQuery q = ADOcon().select(jet, true);
    int n = 0;
    while (q.next())
        ++n;
    return n;
}

struct Search
{
    const char* key;
    ops::admin::LogFilter filter;
    QString plain; // the same search as first written, or empty
};

} // namespace

int runLog(int argc, char** argv)
{
    const int rows = argument(argc, argv, 1, 1000000);
    Session session;
    if (!session.ok())
        return 1;
    const QString file = session.file();
    session.printBoxes();
    try {
        session.login(QStringLiteral("admin"), QStringLiteral("系统管理员"), QStringLiteral("管理员"));

        QElapsedTimer load;
        load.start();
        if (!makeLog(rows))
            return 1;
        print("rows", QString::number(ADOcon().scalar(QStringLiteral("select count(*) from syslog")).toLongLong()));
        print("load_s", double(load.elapsed()) / 1000.0);

        // Opening: the window shows its first screen; then every one of the 10,000 rows read.
        print(QStringLiteral("log_open_first_screen"), timed([] {
                  Tfrmsyslog w;
                  w.show();
              }));
        print(QStringLiteral("log_open"), timed([] {
                  Tfrmsyslog w;
                  w.show();
                  w.DBGrid1->fetchAll();
              }));

        const int pick = kOperators / 2;
        const QDate lastDay = kStart.addSecs(730LL * 86400 * (rows - 1) / rows).date();
        const QDate oneDay = lastDay.addDays(-100);
        const QDate monthFrom = lastDay.addDays(-400);
        const QDate monthTo = monthFrom.addDays(30);
        auto day = [](const QDate& d) { return d.toString(QStringLiteral("yyyyMMdd")); };
        auto formatDays = [&](const QDate& from, const QDate& to) {
            return QStringLiteral("select top 10000 * from syslog where 1=1 and format(dt, 'yyyymmdd')>='%1' and "
                                  "format(dt, 'yyyymmdd')<='%2' order by id desc")
                .arg(day(from), day(to));
        };
        auto byName = [](const QString& name) {
            return QStringLiteral("select top 10000 * from syslog not indexed where 1=1 and truename='%1' order by id "
                                  "desc")
                .arg(name);
        };
        std::vector<Search> searches;
        auto add = [&](const char* key, const QString& who, const QString& text, const QDate& from, const QDate& to,
                       const QString& plain) {
            Search s{key, {}, plain};
            s.filter.truename = who;
            s.filter.text = text;
            s.filter.byDate = from.isValid();
            s.filter.from = from;
            s.filter.to = to;
            searches.push_back(s);
        };
        add("operator_common", operatorName(pick), {}, {}, {}, byName(operatorName(pick)));
        add("operator_rare", QStringLiteral("稀客"), {}, {}, {}, byName(QStringLiteral("稀客")));
        add("text_common", {}, QStringLiteral("操作人员"), {}, {}, {});
        add("text_rare", {}, QStringLiteral("罕见"), {}, {}, {});
        add("text_wildcards", {}, QStringLiteral("项目_项目3%成功"), {}, {}, {});
        add("date_one_day", {}, {}, oneDay, oneDay, formatDays(oneDay, oneDay));
        add("date_month", {}, {}, monthFrom, monthTo, formatDays(monthFrom, monthTo));
        add("date_year", {}, {}, lastDay.addDays(-365), lastDay, formatDays(lastDay.addDays(-365), lastDay));
        add("date_old_quarter", {}, {}, kStart.date().addDays(30), kStart.date().addDays(120),
            formatDays(kStart.date().addDays(30), kStart.date().addDays(120)));
        add("date_reversed", {}, {}, monthTo, monthFrom, formatDays(monthTo, monthFrom));
        add("operator_and_month", operatorName(pick), {}, monthFrom, monthTo, {});
        add("all_three", QStringLiteral("稀客"), QStringLiteral("操作人员"), monthFrom, lastDay, {});

        Tfrmsyslog w;
        w.show();
        Ms worst;
        for (const Search& s : searches) {
            w.Edit1->setText(s.filter.truename);
            w.Edit2->setText(s.filter.text);
            w.CheckBox1->setChecked(s.filter.byDate);
            w.DateTimePicker1->setDate(s.filter.from);
            w.DateTimePicker2->setDate(s.filter.to);
            int found = 0;
            const Ms ms = timed([&] {
                w.Button1->click();
                w.DBGrid1->fetchAll();
                found = w.DBGrid1->rowCount();
            });
            worst = {std::max(worst.wall, ms.wall), std::max(worst.cpu, ms.cpu)};
            const QString key = QStringLiteral("search_%1").arg(QLatin1String(s.key));
            print(key, ms);
            print(qPrintable(key + QStringLiteral("_rows")), QString::number(found));
            if (!s.plain.isEmpty()) {
                int plainFound = 0;
                const Ms plain = timed([&] { plainFound = readAll(s.plain); });
                print(key + QStringLiteral("_plain"), plain);
                print(qPrintable(key + QStringLiteral("_ratio")),
                      QString::number(plain.cpu / std::max(ms.cpu, 0.001), 'f', 1));
                if (plainFound != found)
                    std::fprintf(stderr, "%s: %d rows, as first written %d\n", s.key, found, plainFound);
            }
        }
        print(QStringLiteral("log_search"), worst);
    } catch (const db::Error& e) {
        std::fprintf(stderr, "database error: %s\n", qPrintable(e.text()));
        return 1;
    }
    return 0;
}

} // namespace bench
