// tellvane-bench manage [ROWS]: the customer data management window and the three query windows
// on a million customers: opening the list, the searches, assigning / clearing / deleting a list
// of 100,000 records (against one statement per record, each committed on its own, as the list
// was first walked), and the query windows' first rows.
#include "bench/benches.h"
#include "bench/measure.h"
#include "bench/session.h"

#include "core/dbgrid.h"
#include "core/msg.h"
#include "core/pub.h"
#include "customers/dataman.h"
#include "customers/selhwy.h"
#include "db/dm.h"
#include "db/schema.h"
#include "db/sqlvalue.h"
#include "db/transaction.h"
#include "db/vocab.h"
#include "reports/hfhistory.h"
#include "reports/ydcx.h"
#include "reports/ywcx.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
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

constexpr int kBatch = 50000;       // records per import batch; one batch a day
constexpr int kListed = 100000;     // the list the bulk actions work on
constexpr int kLiteralRows = 10000; // the per-record loop is timed on this many and scaled
const QStringList kOperators = {"话务员1", "话务员2", "话务员3", "话务员4", "话务员5",
                                "话务员6", "话务员7", "话务员8", "话务员9", "话务员10"};

double medianMs(int runs, const std::function<void(int)>& fn)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i)
        ms.push_back(msOf([&] { fn(i); }));
    return median(ms);
}

QString stateFor(quint32 r)
{
    static const std::vector<StateShare> shares{
        {900, vocab::kNotHandled}, {20, vocab::kNoAnswer}, {20, vocab::kSwitchedOff}, {10, vocab::kRefused},
        {10, vocab::kCallBack},    {35, vocab::kHandled},  {5, vocab::kInvalidData}};
    return stateOf(r, shares);
}

QString stamp(const QDateTime& t)
{
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

struct Data
{
    int big = 0;                 // the project of 90% of the records, listed first
    QDate firstDay;              // import day of batch 1
    std::vector<QString> phones; // numbers held in dhhm2..dhhm4, to search for
};

// Two projects, `rows` customers in batches of kBatch (one import day each), 10% of them handled
// with their answers and visits, 2% assigned.
bool makeData(int rows, Data* d)
{
    db::Connection& con = ADOcon();
    con.execute(QStringLiteral("insert into t_ywbh(ywname) values('小项目')"));
    con.execute(QStringLiteral("insert into t_ywbh(ywname) values('大项目')"));
    const int small = 1;
    d->big = 2;
    QList<qint64> qids[3];
    for (int p : {small, d->big})
        for (int qbh = 1; qbh <= 3; ++qbh) {
            con.execute(QStringLiteral("insert into q_table(ywbh,qbh,qnr) values(%1,%2,'问题%2')").arg(p).arg(qbh));
            qids[p] << con.scalar(QStringLiteral("select max(qid) from q_table")).toLongLong();
        }
    QRandomGenerator rng(20261208);
    const QDateTime now = QDateTime::currentDateTime();
    const int batches = (rows + kBatch - 1) / kBatch;
    d->firstDay = now.date().addDays(-batches - 1);
    db::Transaction t(con);
    QSqlQuery yh(con.database()), ans(con.database()), vis(con.database());
    yh.prepare(QStringLiteral("insert into yhda(ywbh,pc,xh,yhxm,dq,dz,dhhm1,dhhm2,dhhm3,dhhm4,xxzl,drz,drsj,sljg,jg,"
                              "slsj,slz,zdslz,zdslzxm) values(?,?,?,?,?,?,?,?,?,?,?,'导入员',?,?,?,?,?,?,?)"));
    ans.prepare(QStringLiteral("insert into q_ans(qid,dhhm,yhid,ans,slz,tottime,dt) values(?,?,?,?,?,?,?)"));
    vis.prepare(QStringLiteral("insert into visitlog(ywbh,dhhm,slz,sljg,bz,vtime) values(?,?,?,?,'',?)"));
    const QVariant null;
    for (int i = 0; i < rows; ++i) {
        const int pc = i / kBatch + 1;
        const int p = (i % 10 == 9) ? small : d->big;
        const QString state = stateFor(rng.generate());
        const bool handled = state != vocab::kNotHandled;
        const QString phone = QString::number(13000000000LL + i);
        const QString other = QString::number(15000000000LL + i);
        const int where = int(rng.bounded(6u)); // a second number in one of the other columns, or none
        if (where < 3 && i % 97 == 0)
            d->phones.push_back(other);
        const QString slz = kOperators.at(int(rng.bounded(quint32(kOperators.size()))));
        const QString handledAt = stamp(now.addSecs(-qint64(rng.bounded(30u * 86400u))));
        const quint32 who = rng.bounded(100u);
        yh.bindValue(0, p);
        yh.bindValue(1, pc);
        yh.bindValue(2, i % kBatch + 1);
        yh.bindValue(3, QStringLiteral("客户%1").arg(i + 1));
        yh.bindValue(4, QStringLiteral("区域%1").arg(i % 20));
        yh.bindValue(5, QStringLiteral("某市某路%1号").arg(i % 997));
        yh.bindValue(6, phone);
        yh.bindValue(7, where == 0 ? other : QString());
        yh.bindValue(8, where == 1 ? other : QString());
        yh.bindValue(9, where == 2 ? other : QString());
        yh.bindValue(10, QStringLiteral("套餐:  A%1\r\n").arg(i % 7));
        yh.bindValue(11, stamp(QDateTime(d->firstDay.addDays(pc - 1), QTime(9, 0)).addSecs(i % kBatch / 5)));
        yh.bindValue(12, state);
        yh.bindValue(13,
                     state == vocab::kHandled ? QVariant(rng.bounded(2u) ? vocab::kSuccess : vocab::kNoSuccess) : null);
        yh.bindValue(14, handled ? QVariant(handledAt) : null);
        yh.bindValue(15, handled ? slz : QString());
        yh.bindValue(16, who < 2 ? QVariant(QStringLiteral("op")) : null);
        yh.bindValue(17, who < 2 ? QVariant(QStringLiteral("指定员")) : null);
        if (!yh.exec()) {
            std::fprintf(stderr, "insert failed: %s\n", qPrintable(yh.lastError().text()));
            return false;
        }
        if (!handled)
            continue;
        const qint64 id = i + 1;
        const int answers = state == vocab::kHandled ? 3 : 1;
        for (int a = 0; a < answers; ++a) {
            ans.bindValue(0, qids[p].at(a));
            ans.bindValue(1, phone);
            ans.bindValue(2, id);
            ans.bindValue(3,
                          state == vocab::kHandled ? (a == 0 ? QStringLiteral("满意") : QStringLiteral("是")) : state);
            ans.bindValue(4, slz);
            ans.bindValue(5, 10 * (a + 1));
            ans.bindValue(6, handledAt);
            ans.exec();
        }
        vis.bindValue(0, p);
        vis.bindValue(1, phone);
        vis.bindValue(2, slz);
        vis.bindValue(3, state == vocab::kHandled ? QStringLiteral("已受理(成功)") : state);
        vis.bindValue(4, handledAt);
        vis.exec();
    }
    con.execute(QStringLiteral("insert into syslogin(uname,truename,tp) values('op','指定员','话务员')"));
    t.commit();
    return true;
}

// The query button, then the grid's first rows, as a person sees them.
double queryMs(QWidget* w, const char* button = "Button1")
{
    auto* g = w->findChild<TDBGrid*>(QStringLiteral("DBGrid1"));
    return msOf([&] {
        w->findChild<QPushButton*>(QString::fromLatin1(button))->click();
        g->value(0, QStringLiteral("id"));
        QApplication::processEvents();
    });
}

int gridRows(QWidget* w)
{
    return w->findChild<TDBGrid*>(QStringLiteral("DBGrid1"))->rowCount();
}

} // namespace

int runManage(int argc, char** argv)
{
    const int rows = argument(argc, argv, 1, 1000000);
    Session session;
    if (!session.ok())
        return 1;
    const QString file = session.file();
    int boxes = 0;
    msg::setHandler([&boxes](const msg::Box& b) {
        ++boxes;
        if (b.buttons == msg::Buttons::Ok && b.text != QStringLiteral("指定话务员成功!"))
            std::fprintf(stderr, "box: %s\n", qPrintable(b.text));
        return b.buttons == msg::Buttons::YesNo ? msg::Answer::Yes : msg::Answer::Ok;
    });
    try {
        session.login(QStringLiteral("admin"), QStringLiteral("系统管理员"), vocab::kAdmin);

        QElapsedTimer load;
        load.start();
        Data data;
        if (!makeData(rows, &data))
            return 1;
        print("rows", QString::number(rows));
        print("load_s", double(load.elapsed()) / 1000.0);
        // A fresh start: the memory of the load is given back before the window opens.
        ADOcon().close();
        ADOcon().open(file);
        resetPeak();
        const double base = peakMb();

        Tfrmdataman* w = nullptr;
        const double openMs = msOf([&] {
            w = openWindow<Tfrmdataman>();
            w->DBGrid1->value(0, QStringLiteral("id"));
        });
        print("open_list_ms", openMs);
        print("open_list_counter", w->Label1->text());
        print("open_list_peak_mb", peakMb());
        print("process_before_open_mb", base);

        // Searches in the big project (the first one offered).
        w->ComboBox1->setCurrentIndex(0);
        print("phone_search_ms", medianMs(21, [&](int i) {
                  w->Edit2->setText(data.phones.at(size_t(i) * 7 % data.phones.size()));
                  queryMs(w);
              }));
        print("phone_search_counter", w->Label1->text());
        w->Edit2->clear();
        w->CheckBox1->setChecked(true);
        print("date_search_ms", medianMs(5, [&](int i) {
                  w->DateTimePicker1->setDate(data.firstDay.addDays(i));
                  w->DateTimePicker2->setDate(data.firstDay.addDays(i));
                  queryMs(w);
              }));
        print("date_search_counter", w->Label1->text());
        w->CheckBox1->setChecked(false);
        w->ComboBox3->setCurrentText(vocab::kSwitchedOff);
        print("state_search_ms", medianMs(5, [&](int) { queryMs(w); }));
        print("state_search_counter", w->Label1->text());
        w->ComboBox3->setCurrentText(vocab::kNotHandled);
        print("state_unhandled_search_ms", medianMs(5, [&](int) { queryMs(w); }));
        print("state_unhandled_search_counter", w->Label1->text());
        w->ComboBox3->setCurrentIndex(0);
        w->Edit1->setText(QStringLiteral("指定员"));
        print("assignee_search_ms", medianMs(5, [&](int) { queryMs(w); }));
        print("assignee_search_counter", w->Label1->text());
        w->Edit1->clear();
        w->Edit3->setText(QStringLiteral("1"));
        w->Edit4->setText(QString::number(kListed / ((rows + kBatch - 1) / kBatch) * 10 / 9));
        print("sequence_search_ms", medianMs(5, [&](int) { queryMs(w); }));
        print("sequence_search_counter", w->Label1->text());
        print("project_search_ms", medianMs(5, [&](int) {
                  w->Edit3->clear();
                  w->Edit4->clear();
                  queryMs(w);
              }));
        print("project_search_counter", w->Label1->text());

        // The query windows on the same data.
        auto* ywcx = openWindow<Tfrmywcx>();
        std::vector<double> result;
        auto resultRun = [&](const char* key, const std::function<void()>& set) {
            set();
            const double ms = medianMs(5, [&](int) { queryMs(ywcx, "BitBtn1"); });
            print(key, ms);
            result.push_back(ms);
            ywcx->Edit1->clear();
            ywcx->Edit2->clear();
            ywcx->Edit3->clear();
            ywcx->ComboBox3->setCurrentIndex(0);
            ywcx->CheckBox1->setChecked(false);
        };
        resultRun("result_query_project_ms", [] {});
        resultRun("result_query_phone_ms", [&] { ywcx->Edit2->setText(data.phones.front()); });
        resultRun("result_query_operator_ms", [&] { ywcx->Edit1->setText(kOperators.at(3)); });
        resultRun("result_query_state_ms", [&] { ywcx->Edit3->setText(vocab::kHandled); });
        resultRun("result_query_result_ms", [&] { ywcx->ComboBox3->setCurrentText(vocab::kSuccess); });
        resultRun("result_query_day_ms", [&] {
            ywcx->CheckBox1->setChecked(true);
            ywcx->DateTimePicker1->setDate(QDate::currentDate().addDays(-3));
            ywcx->DateTimePicker2->setDate(QDate::currentDate().addDays(-3));
        });
        print("result_query_ms", *std::max_element(result.begin(), result.end()));

        auto* ydcx = openWindow<Tfrmydcx>();
        std::vector<double> answer;
        answer.push_back(medianMs(5, [&](int) { queryMs(ydcx, "BitBtn1"); }));
        ydcx->Edit2->setText(QString::number(13000000000LL + 19)); // a handled one, or nobody
        answer.push_back(medianMs(5, [&](int) { queryMs(ydcx, "BitBtn1"); }));
        ydcx->Edit2->clear();
        ydcx->Edit3->setText(vocab::kRefused);
        answer.push_back(medianMs(5, [&](int) { queryMs(ydcx, "BitBtn1"); }));
        print("answer_query_ms", *std::max_element(answer.begin(), answer.end()));

        auto* history = openWindow<Tfrmhfhistory>();
        std::vector<double> hist;
        hist.push_back(medianMs(5, [&](int) { queryMs(history, "BitBtn1"); }));
        history->Edit2->setText(QString::number(13000000000LL + 19));
        hist.push_back(medianMs(5, [&](int) { queryMs(history, "BitBtn1"); }));
        history->Edit2->clear();
        history->ComboBox1->setCurrentIndex(1);
        history->Edit3->setText(QStringLiteral("已受理"));
        history->CheckBox1->setChecked(true);
        history->DateTimePicker1->setDate(QDate::currentDate().addDays(-7));
        hist.push_back(medianMs(5, [&](int) { queryMs(history, "BitBtn1"); }));
        print("history_query_ms", *std::max_element(hist.begin(), hist.end()));
        print("query_rows_shown",
              QStringLiteral("%1/%2/%3").arg(gridRows(ywcx)).arg(gridRows(ydcx)).arg(gridRows(history)));

        // A list of 100,000 records: the first 100,000 by sequence number of the big project.
        w->Edit3->setText(QStringLiteral("1"));
        int to = 1;
        for (int step = 65536; step >= 1; step /= 2) { // the bound that lists kListed records
            w->Edit4->setText(QString::number(to + step));
            w->Button1Click();
            if (w->listCount() <= kListed)
                to += step;
        }
        w->Edit4->setText(QString::number(to));
        w->Button1Click();
        print("listed", QString::number(w->listCount()));
        const double assignCpu = cpuSeconds();
        const double assignS = msOf([&] {
                                   w->Button3Click();
                                   frmselhwy->ComboBox1->setCurrentIndex(1);
                                   frmselhwy->Button1Click();
                               }) /
                               1000.0;
        print("assign_100k_s", assignS);
        print("assign_100k_cpu_s", cpuSeconds() - assignCpu);
        print("assigned", ADOcon().scalar(QStringLiteral("select count(*) from yhda where zdslz='op'")).toString());
        double cpu = cpuSeconds();
        print("clear_100k_s", msOf([&] { w->Button4Click(); }) / 1000.0);
        print("clear_100k_cpu_s", cpuSeconds() - cpu);

        // The loop as first written: step through the listed records, one update each, each
        // committed on its own; then the log row and the re-read.
        const QString listSql = w->DBGrid1->sql();
        const double literalS = msOf([&] {
                                    // The list's rows as its result set holds them, then one
                                    // transaction per record.
                                    std::vector<qint64> ids;
                                    QSqlQuery q = ADOcon().select(listSql, true);
                                    while (int(ids.size()) < kLiteralRows && q.next())
                                        ids.push_back(q.value(QStringLiteral("id")).toLongLong());
                                    q = QSqlQuery();
                                    int n = 0;
                                    for (qint64 id : ids) {
                                        db::Transaction one(ADOcon());
                                        ADOcon().execute(QStringLiteral("update yhda set zdslz='op',zdslzxm='指定员' "
                                                                        "where id=") +
                                                         db::num(id));
                                        one.commit();
                                        ++n;
                                    }
                                    WriteSysLog(QStringLiteral("为%1条用户数据指定受理人指定员").arg(n));
                                    w->DBGrid1->reopen();
                                    w->DBGrid1->value(0, QStringLiteral("id"));
                                }) /
                                1000.0 * (double(kListed) / kLiteralRows);
        print("literal_assign_100k_s", literalS);
        print("literal_assign_key",
              QStringLiteral("timed on %1 records and scaled to %2").arg(kLiteralRows).arg(kListed));
        print("assign_speedup", literalS / assignS);
        cpu = cpuSeconds();
        print("delete_100k_s", msOf([&] { w->Button6Click(); }) / 1000.0);
        print("delete_100k_cpu_s", cpuSeconds() - cpu);
        print("after_delete_counter", w->Label1->text());
        print("peak_mb", peakMb());
        print("message_boxes", QString::number(boxes));
        for (QWidget* x : std::initializer_list<QWidget*>{w, ywcx, ydcx, history})
            delete x;
    } catch (const db::Error& e) {
        std::fprintf(stderr, "database error: %s\n", qPrintable(e.text()));
        return 1;
    }
    return 0;
}

} // namespace bench
