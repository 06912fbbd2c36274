// tellvane-bench seats --engine sqlite|postgresql --seats N|auto --seconds S [--rows R] [--think-ms T]:
// N seats, each on its own connection in its own thread, run the visit window's loop on one
// project of R customers (a million by default) for S seconds through the program's own call
// (ops::visit::Call): the draw, the answers, the endings with the draw of the next customer in
// one transaction, the two counters, and the reads the window makes for the customer it shows.
// A cycle is one click. Prints the throughput, the cycle times, the errors met, and what must
// never happen: a customer held by two seats at once, an ending reported as done but missing
// afterwards, busy/lock errors. The figures are printed also when the server went away
// meanwhile. "--seats auto" runs 1, 2, 4, ... seats on the same data and prints the
// largest count that meets the goals.
#include "bench/benches.h"
#include "bench/measure.h"
#include "bench/seats_place.h"
#include "bench/session.h"

#include "db/connection.h"
#include "db/roles.h"
#include "db/sqlvalue.h"
#include "db/transaction.h"
#include "db/vocab.h"
#include "ops/common/login.h"
#include "ops/visit/call.h"
#include "ops/visit/callback.h"
#include "ops/visit/draw.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <thread>
#include <unordered_map>
#include <vector>

namespace bench {
namespace {

// The goals a seat count has to meet.
constexpr double kGoalP95Ms = 50;

struct Options
{
    QString engine = QStringLiteral("sqlite");
    int seats = 1; // 0: sweep
    double seconds = 10;
    int rows = 1000000;
    int thinkMs = 0;
};

bool parse(int argc, char** argv, Options* o)
{
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        const QString v = i + 1 < argc ? QString::fromLocal8Bit(argv[i + 1]) : QString();
        bool ok = true;
        if (a == QLatin1String("--engine"))
            o->engine = v;
        else if (a == QLatin1String("--seats"))
            o->seats = v == QLatin1String("auto") ? 0 : v.toInt(&ok);
        else if (a == QLatin1String("--seconds"))
            o->seconds = v.toDouble(&ok);
        else if (a == QLatin1String("--rows"))
            o->rows = v.toInt(&ok);
        else if (a == QLatin1String("--think-ms"))
            o->thinkMs = v.toInt(&ok);
        else
            ok = false;
        if (!ok || v.isEmpty()) {
            std::fprintf(stderr, "usage: tellvane-bench seats --engine sqlite|postgresql --seats N|auto "
                                 "--seconds S [--rows R] [--think-ms T]\n");
            return false;
        }
        ++i;
    }
    return o->engine == QLatin1String("sqlite") || o->engine == QLatin1String("postgresql");
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

// Errors that only mean "another seat is in the way": what a seat must never see.
bool isBusy(const db::Error& e)
{
    const QString t = e.text().toLower();
    return t.contains(QLatin1String("locked")) || t.contains(QLatin1String("busy")) ||
           t.contains(QLatin1String("deadlock")) || t.contains(QLatin1String("could not serialize")) ||
           t.contains(QLatin1String("lock timeout")) || t.contains(QLatin1String("could not obtain lock"));
}

QString seatUname(int seat)
{
    return QStringLiteral("seat%1").arg(seat);
}

const QString kSeatPassword = QStringLiteral("座席'pw");

// On the server every seat logs in as an operator's role of its own, as a seat's program does:
// the seats' operators (and roles) are made once, before the first round that needs them.
void ensureSeatOperators(db::Connection& con, int seats)
{
    for (int s = 0; s < seats; ++s) {
        const QString uname = seatUname(s);
        if (con.scalar(QStringLiteral("select count(*) from syslogin where uname=?"), {uname}).toInt() > 0)
            continue;
        const QString role = db::roleName(uname);
        db::Transaction t(con);
        con.execute(QStringLiteral("insert into syslogin(uname,truename,rolname,tp) values(?,?,?,?)"),
                    {uname, uname, role, vocab::kOperator});
        con.scalar(QStringLiteral("select tv_seat_role(null, ?, ?, false, true)"),
                   {role, db::scramVerifier(con, role, kSeatPassword)});
        t.commit();
    }
}

// One project with three questions and `rows` customers, written by one statement: mostly not
// yet handled, every 101st assigned to one of 64 seats, a few soft-deleted, some handled.
int makeProject(db::Connection& con, int rows, bool server)
{
    con.execute(QStringLiteral("insert into t_ywbh(ywname,ywtips,zt) values('座席压测','您好，这里是回访中心',1)"));
    const int p = con.scalar(QStringLiteral("select max(ywbh) from t_ywbh")).toInt();
    for (int qbh = 1; qbh <= 3; ++qbh) {
        con.execute(QStringLiteral("insert into q_table(ywbh,qbh,qnr) values(%1,%2,'问题%2')").arg(p).arg(qbh));
        const qint64 qid = con.scalar(QStringLiteral("select max(qid) from q_table")).toLongLong();
        con.execute(QStringLiteral("insert into q_sel(qid,sel,gotoq) values(%1,'是',%2)").arg(qid).arg(qbh + 1));
        con.execute(QStringLiteral("insert into q_sel(qid,sel,gotoq) values(%1,'否',0)").arg(qid));
    }
    const QString series = server ? QStringLiteral(" from generate_series(1,%1) as s(i)").arg(rows)
                                  : QStringLiteral(" from s");
    const QString with = server ? QString()
                                : QStringLiteral("with recursive s(i) as (select 1 union all select i+1 from s "
                                                 "where i<%1) ")
                                      .arg(rows);
    // The state from a scramble of the number: 95% not handled, the rest over four endings.
    const QString state = QStringLiteral("case when (i%1000*7919)%1000<950 then '未受理' when (i%1000*7919)%1000<965 then "
                                         "'无应答' when (i%1000*7919)%1000<975 then '关机' when (i%1000*7919)%1000<985 then "
                                         "'拒访' else '已受理' end");
    // On the server the draw key comes with the row (see loadWithoutTriggers); on the file the
    // column's default gives it.
    const QString insert =
        QStringLiteral("insert into yhda(ywbh,pc,xh,yhxm,dq,dz,dhhm1,xxzl,drz,sljg,slz,zdslz,zdslzxm,del") +
        (server ? QStringLiteral(",drawkey) ") : QStringLiteral(") ")) + with + QStringLiteral("select ") +
        db::num(p) +
        QStringLiteral(",1,i,'客户'||i,'区域'||(i%20),'某市某路'||(i%997)||'号',cast(13000000000+i as "
                       "text),'套餐A'||(i%7),'导入员',") +
        state +
        QStringLiteral(",case when (i%1000*7919)%1000>=950 then '别的话务员' else '' end,"
                       "case when i%101=0 then 'seat'||(i%64) end,"
                       "case when i%101=0 then '座席'||(i%64) end,"
                       "case when i%997=5 then 1 else 0 end") +
        (server ? QStringLiteral(",-ln(1.0-random())") : QString()) + series;
    if (server) {
        loadWithoutTriggers(con, p, insert);
    } else {
        db::Transaction t(con);
        con.execute(insert);
        t.commit();
    }
    return p;
}

// Which seat holds which customer, as the seats themselves report it.
class Holds
{
public:
    // Records that seat holds id; false when another seat holds it already.
    bool take(qint64 id, int seat)
    {
        std::lock_guard<std::mutex> l(m_mutex);
        return m_by.emplace(id, seat).second;
    }
    void release(qint64 id, int seat)
    {
        std::lock_guard<std::mutex> l(m_mutex);
        const auto it = m_by.find(id);
        if (it != m_by.end() && it->second == seat)
            m_by.erase(it);
    }

private:
    std::mutex m_mutex;
    std::unordered_map<qint64, int> m_by;
};

// Processor seconds a server process on this machine has used so far; -1 when it is not
// readable here (a server elsewhere).
double processSeconds(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !f.open(QIODevice::ReadOnly))
        return -1;
    // After the name in parentheses: state is field 3, utime and stime fields 14 and 15.
    const QByteArray line = f.readAll();
    const QList<QByteArray> f2 = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (f2.size() < 13)
        return -1;
    return double(f2[11].toLongLong() + f2[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

struct SeatResult
{
    std::vector<double> cycleMs;
    double serverSeconds = -1; // processor time of the seat's server process during the run
    qint64 endings = 0;
    qint64 busy = 0;
    qint64 errors = 0;
    QString firstError;
};

struct Shared
{
    const Place* place;
    int ywbh;
    int round;
    int thinkMs;
    Holds holds;
    std::atomic<qint64> doubleHolds{0};
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    std::atomic<bool> stop{false};
};

QString seatTruename(int seat, int round)
{
    return QStringLiteral("座席%1-%2").arg(seat).arg(round);
}

// One seat: the visit window's loop on a connection of its own, through the call the window
// drives (ops::visit::Call): a draw, the questionnaire answered question by question, the
// endings with the next draw, and what the window reads after each.
void runSeat(Shared& sh, int seat, SeatResult& r)
{
    auto fail = [&r](const db::Error& e) {
        (isBusy(e) ? r.busy : r.errors)++;
        if (r.firstError.isEmpty())
            r.firstError = e.text();
    };
    db::Connection con(QStringLiteral("seat%1.%2").arg(seat).arg(sh.round));
    const QString uname = seatUname(seat);
    const QString truename = seatTruename(seat, sh.round);
    const int p = sh.ywbh;
    ops::visit::Call call(con, ops::Who{uname, truename, QStringLiteral("127.0.0.1")});
    qint64 serverPid = 0;
    try {
        if (sh.place->server) {
            if (!ops::openAsOperator(con, sh.place->params, uname, kSeatPassword))
                throw db::Error(QStringLiteral("the server refused the login of ") + uname);
        } else {
            openPlace(con, *sh.place);
        }
        call.setProject(p);
        call.loadFirstQuestion();
        if (sh.place->server)
            serverPid = con.scalar(QStringLiteral("select pg_backend_pid()")).toLongLong();
    } catch (const db::Error& e) {
        fail(e);
        sh.ready++;
        return;
    }
    std::optional<qint64> heldId;
    auto hold = [&](const std::optional<ops::visit::Customer>& c) {
        if (heldId)
            sh.holds.release(*heldId, seat);
        heldId.reset();
        if (c) {
            if (!sh.holds.take(c->id, seat))
                sh.doubleHolds++;
            heldId = c->id;
        }
    };
    // What the window reads to show the customer it holds: the history, the counters.
    auto show = [&] {
        if (const std::optional<ops::visit::Customer>& c = call.customer()) {
            QSqlQuery h = con.select(ops::visit::historyOf(c->dhhm1), true);
            while (h.next()) {
            }
        }
        ops::visit::pendingCount(con, p, uname);
        ops::visit::todayCount(con, p, truename);
    };
    sh.ready++;
    while (!sh.go)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const double serverStart = processSeconds(serverPid);
    // Operators do not all end their first call at the same moment: with a pause, each seat
    // starts at a moment of its own within the first pause, instead of all seats together in
    // waves that would queue behind each other at every round.
    if (sh.thinkMs > 0) {
        std::mt19937 random(static_cast<unsigned>(seat) * 7919u + 17u);
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::uniform_int_distribution<int>(0, sh.thinkMs - 1)(random)));
    }
    static const QString kWords[] = {vocab::kHandled,      vocab::kNoAnswer, vocab::kSwitchedOff,
                                     vocab::kOutOfService, vocab::kRefused,  vocab::kCallBack};
    qint64 k = seat;
    QElapsedTimer t;
    while (!sh.stop) {
        t.start();
        try {
            if (!call.held()) {
                // "提取客户": the draw on its own.
                hold(call.drawByState(vocab::kNotHandled));
                if (!call.held())
                    break; // nobody left
                show();
            } else {
                // The questionnaire answered "是" question by question (each answer a click of its
                // own), or one of the outcome buttons; an ending draws the next customer.
                const QString& word = kWords[k % 6];
                std::optional<ops::visit::Call::Next> next;
                if (word == vocab::kHandled) {
                    if (call.answer(0) == ops::visit::Call::Answered::Completes)
                        next = call.complete(0, QString(), QString(), vocab::kNotHandled);
                } else if (word == vocab::kCallBack) {
                    // "下次联系" at a time: every other call-back falls due at once, the rest a
                    // minute later; every other one is the booker's own, the rest anyone's. The
                    // draws then take due call-backs first, as seats do in a working day.
                    const QDateTime now = QDateTime::currentDateTime();
                    const QDateTime minute(now.date(), QTime(now.time().hour(), now.time().minute()));
                    const qint64 n = k / 6;
                    next = call.outcome(word, QString(), vocab::kNotHandled,
                                        ops::visit::Booking{n % 2 ? minute.addSecs(60) : minute, 60, n / 2 % 2 == 0});
                } else {
                    next = call.outcome(word, QString(), vocab::kNotHandled);
                }
                if (next) {
                    ++r.endings;
                    ++k;
                    hold(next->customer);
                    if (next->drawFailed)
                        fail(db::Error(QStringLiteral("the ending stands, the next draw failed")));
                    show();
                    ops::visit::projectTips(con, p);
                    call.loadFirstQuestion();
                }
            }
        } catch (const db::Error& e) {
            // Counted, and out of the cycle times; a person reads the message before trying again.
            fail(e);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        r.cycleMs.push_back(double(t.nsecsElapsed()) / 1e6);
        if (sh.thinkMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(sh.thinkMs));
    }
    if (serverStart >= 0)
        r.serverSeconds = processSeconds(serverPid) - serverStart;
    // Gives the customer up again as "放弃受理" does, so that the next round starts clean.
    try {
        call.giveUp(QString(), vocab::kNotHandled);
        hold(std::nullopt);
    } catch (const db::Error& e) {
        fail(e);
    }
}

// Runs check on con, opening con again and retrying for a while when it fails (the server
// restarting): the figures are printed whatever happens. Empty when it ran; else the last error.
QString checked(db::Connection& con, const Place& place, const std::function<void()>& check)
{
    QString last;
    for (int attempt = 0; attempt < 20; ++attempt) {
        try {
            if (attempt > 0 && place.server)
                openPlace(con, place);
            check();
            return QString();
        } catch (const db::Error& e) {
            last = e.text();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    return last.isEmpty() ? QStringLiteral("failed") : last;
}

struct Figures
{
    int seats = 0;
    double endingsPerS = 0;
    double p50 = 0;
    double p95 = 0;
    qint64 doubleHolds = 0;
    qint64 lostEndings = 0;
    qint64 unreported = 0;
    qint64 busy = 0;
    qint64 errors = 0;
    QString firstError;
    QString checkError; // why the endings could not be checked afterwards
    // Processor time per cycle, of the seats' threads here and of their server processes (-1:
    // not known), and the machine's load average at the end: on a shared machine the wall-clock
    // figures depend on what else runs, these much less.
    double clientCpuMs = 0;
    double serverCpuMs = -1;
    QString load;
    bool meets() const
    {
        return p95 <= kGoalP95Ms && doubleHolds == 0 && lostEndings == 0 && busy == 0 && errors == 0 &&
               checkError.isEmpty();
    }
};

// Runs `seats` seats for `seconds` and checks in the database afterwards that every ending a
// seat counted as done is there (the customer's record and its log row).
Figures runRound(db::Connection& con, const Place& place, int ywbh, int seats, int round, const Options& o)
{
    if (place.server)
        ensureSeatOperators(con, seats);
    Shared sh;
    sh.place = &place;
    sh.ywbh = ywbh;
    sh.round = round;
    sh.thinkMs = o.thinkMs;
    std::vector<SeatResult> results(static_cast<size_t>(seats));
    std::vector<std::thread> threads;
    for (int s = 0; s < seats; ++s)
        threads.emplace_back([&sh, s, &results] { runSeat(sh, s, results[size_t(s)]); });
    while (sh.ready < seats)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    QElapsedTimer wall;
    wall.start();
    const double cpuStart = cpuSeconds();
    sh.go = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(qint64(o.seconds * 1000)));
    sh.stop = true;
    for (auto& th : threads)
        th.join();
    const double elapsed = double(wall.elapsed()) / 1000.0;
    const double clientCpu = cpuSeconds() - cpuStart;

    Figures f;
    f.load = loadAverage();
    double serverCpu = 0;
    f.seats = seats;
    f.doubleHolds = sh.doubleHolds;
    std::vector<double> all;
    qint64 endings = 0;
    for (int s = 0; s < seats; ++s) {
        const SeatResult& r = results[size_t(s)];
        all.insert(all.end(), r.cycleMs.begin(), r.cycleMs.end());
        endings += r.endings;
        f.busy += r.busy;
        f.errors += r.errors;
        serverCpu = r.serverSeconds < 0 || serverCpu < 0 ? -1 : serverCpu + r.serverSeconds;
        if (f.firstError.isEmpty())
            f.firstError = r.firstError;
    }
    // Every ending a seat counted as done must be there: its history row and the customer's
    // record, by the seat's operator name of this round. One statement: one snapshot of both.
    std::map<QString, std::pair<qint64, qint64>> found; // operator -> records, history rows
    f.checkError = checked(con, place, [&] {
        found.clear();
        const QString p = db::num(ywbh);
        QSqlQuery q = con.select(
            QStringLiteral("select slz,sum(r),sum(l) from (select slz,1 as r,0 as l from yhda where ywbh=") + p +
                QStringLiteral(" and sljg<>") + db::quoted(vocab::kNotHandled) + QStringLiteral(" and sljg<>") +
                db::quoted(vocab::kInHand) + QStringLiteral(" union all select slz,0,1 from visitlog where ywbh=") + p +
                QStringLiteral(") as u group by slz"),
            true);
        while (q.next())
            found[q.value(0).toString()] = {q.value(1).toLongLong(), q.value(2).toLongLong()};
    });
    for (int s = 0; s < seats && f.checkError.isEmpty(); ++s) {
        const auto [records, logged] = found[seatTruename(s, round)];
        const qint64 done = results[size_t(s)].endings;
        // A customer booked for a call-back comes back and is ended again: it has one record and
        // a history row per ending. Every ending is one history row, written in the transaction
        // that writes the record; a seat's records are never more than its history rows.
        f.lostEndings += std::max<qint64>(0, done - logged) + std::max<qint64>(0, records - logged);
        f.unreported += std::max<qint64>(0, logged - done);
    }
    f.endingsPerS = double(endings) / elapsed;
    f.p50 = percentile(all, 0.5);
    f.p95 = percentile(all, 0.95);
    const double cycles = std::max<double>(1, double(all.size()));
    f.clientCpuMs = clientCpu * 1000 / cycles;
    if (place.server && serverCpu >= 0)
        f.serverCpuMs = serverCpu * 1000 / cycles;
    return f;
}

void printFigures(const Figures& f)
{
    print("seats", QString::number(f.seats));
    print("endings_per_s", f.endingsPerS);
    print("cycle_p50_ms", f.p50);
    print("cycle_p95_ms", f.p95);
    print("double_holds", QString::number(f.doubleHolds));
    print("lost_endings", f.checkError.isEmpty() ? QString::number(f.lostEndings) : QStringLiteral("unknown"));
    print("unreported_endings", f.checkError.isEmpty() ? QString::number(f.unreported) : QStringLiteral("unknown"));
    if (!f.checkError.isEmpty())
        print("check_error", f.checkError);
    print("busy_errors", QString::number(f.busy));
    print("other_errors", QString::number(f.errors));
    print("client_cpu_ms_per_cycle", f.clientCpuMs);
    if (f.serverCpuMs >= 0)
        print("server_cpu_ms_per_cycle", f.serverCpuMs);
    print("load_average", f.load);
    if (!f.firstError.isEmpty())
        print("first_error", f.firstError);
    print("meets_goals", f.meets() ? QStringLiteral("yes") : QStringLiteral("no"));
}

// The kept counts against counting the records, for every state and assignee: the groups
// where they differ, counted in one statement, so that both are read from one snapshot even
// while another program writes.
qint64 talliesDiffering(db::Connection& con, int ywbh)
{
    const QString p = db::num(ywbh);
    return con
        .scalar(QStringLiteral("select count(*) from (select sljg,zk from (select coalesce(sljg,'') as sljg,"
                               "coalesce('='||zdslz,'') as zk,1 as n from yhda where ywbh=") +
                p + QStringLiteral(" and del=0 union all select sljg,zk,-n from yhda_tally where ywbh=") + p +
                QStringLiteral(") as u group by sljg,zk having sum(n)<>0) as d"))
        .toLongLong();
}

} // namespace

int runSeats(int argc, char** argv)
{
    Options o;
    if (!parse(argc, argv, &o))
        return 2;
    const bool server = o.engine == QLatin1String("postgresql");
    // The project is written through the program's own connection, which also checks afterwards.
    PlaceGuard place(server);
    if (!place.ok())
        return 1;
    db::Connection& con = place.connection();
    try {
        QElapsedTimer load;
        load.start();
        const int p = makeProject(con, o.rows, server);
        print("engine", o.engine);
        print("server", place.serverInfo());
        print("rows", QString::number(con.scalar(QStringLiteral("select count(*) from yhda where ywbh=") + db::num(p))
                                          .toLongLong()));
        print("load_s", double(load.elapsed()) / 1000.0);
        print("seconds", o.seconds);
        print("think_ms", QString::number(o.thinkMs));

        if (o.seats > 0) {
            printFigures(runRound(con, place.place(), p, o.seats, 1, o));
        } else {
            // 1, 2, 4, ... seats until a count misses the goals, then halving the step between the
            // last count that met them and the first that did not.
            std::optional<Figures> best;
            int round = 0;
            auto sweep = [&](int n) {
                const Figures f = runRound(con, place.place(), p, n, ++round, o);
                std::printf("sweep: seats=%d endings_per_s=%.1f cycle_p50_ms=%.3f cycle_p95_ms=%.3f double_holds=%lld "
                            "lost_endings=%lld busy_errors=%lld other_errors=%lld meets_goals=%s\n",
                            f.seats, f.endingsPerS, f.p50, f.p95, (long long)f.doubleHolds, (long long)f.lostEndings,
                            (long long)f.busy, (long long)f.errors, f.meets() ? "yes" : "no");
                std::fflush(stdout);
                if (f.meets())
                    best = f;
                return f.meets();
            };
            int hi = 1;
            while (hi <= 256 && sweep(hi))
                hi *= 2;
            int lo = hi / 2;
            while (hi <= 256 && hi - lo > std::max(1, lo / 8)) {
                const int mid = (lo + hi) / 2;
                (sweep(mid) ? lo : hi) = mid;
            }
            print("max_seats_meeting_goals", QString::number(best ? best->seats : 0));
            if (best)
                printFigures(*best);
        }
        qint64 differing = 0;
        const QString why = checked(con, place.place(), [&] { differing = talliesDiffering(con, p); });
        print("tallies_exact", !why.isEmpty()   ? QStringLiteral("unknown")
                               : differing == 0 ? QStringLiteral("yes")
                                                : QStringLiteral("no"));
        if (!why.isEmpty())
            print("tallies_error", why);
        // The call-backs the seats booked, and how many of them a later draw took and ended.
        QString booked, kept;
        checked(con, place.place(), [&] {
            QSqlQuery q =
                con.select(QStringLiteral("select count(*), sum(case when zt=1 then 1 else 0 end) from hfyy"));
            if (q.next())
                booked = q.value(0).toString(), kept = QString::number(q.value(1).toLongLong());
        });
        print("callbacks_booked", booked.isEmpty() ? QStringLiteral("unknown") : booked);
        print("callbacks_kept", kept.isEmpty() ? QStringLiteral("unknown") : kept);
    } catch (const db::Error& e) {
        std::fprintf(stderr, "database error: %s\n", qPrintable(e.text()));
        return 1;
    }
    return 0;
}

} // namespace bench
