#include "db/functions.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <sqlite3.h>

#include <cmath>
#include <cstring>

namespace db {

QString jetNow()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

namespace {

// Stored times are "yyyy-MM-dd HH:mm:ss" (or a date alone).
bool parseStamp(const QString& v, QDateTime* out)
{
    QDateTime dt = QDateTime::fromString(v.left(19), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!dt.isValid()) {
        const QDate d = QDate::fromString(v.left(10), QStringLiteral("yyyy-MM-dd"));
        if (!d.isValid())
            return false;
        dt = QDateTime(d, QTime(0, 0));
    }
    *out = dt;
    return true;
}

QString two(int n) { return QString::number(n).rightJustified(2, u'0'); }

} // namespace

// Jet's format() for date patterns: yyyy yy mm m dd d hh h nn n ss s (letters in any case);
// "m"/"mm" directly after an hour means minutes, as in Jet. Anything else is copied.
QString jetFormat(const QString& value, const QString& pattern)
{
    QDateTime dt;
    if (!parseStamp(value, &dt))
        return value;
    const QString p = pattern.toLower();
    QString out;
    bool afterHour = false;
    for (int i = 0; i < p.size();) {
        auto run = [&](QChar c) {
            int k = i;
            while (k < p.size() && p[k] == c)
                ++k;
            return k - i;
        };
        const QChar c = p[i];
        const int n = (c == u'y' || c == u'm' || c == u'd' || c == u'h' || c == u'n' || c == u's') ? run(c) : 1;
        if (c == u'y') {
            out += n >= 4 ? QString::number(dt.date().year()) : two(dt.date().year() % 100);
            afterHour = false;
        } else if (c == u'm') {
            const int v = afterHour ? dt.time().minute() : dt.date().month();
            out += n >= 2 ? two(v) : QString::number(v);
            afterHour = false;
        } else if (c == u'd') {
            out += n >= 2 ? two(dt.date().day()) : QString::number(dt.date().day());
            afterHour = false;
        } else if (c == u'h') {
            out += n >= 2 ? two(dt.time().hour()) : QString::number(dt.time().hour());
            afterHour = true;
        } else if (c == u'n') {
            out += n >= 2 ? two(dt.time().minute()) : QString::number(dt.time().minute());
        } else if (c == u's') {
            out += n >= 2 ? two(dt.time().second()) : QString::number(dt.time().second());
            afterHour = false;
        } else {
            out += pattern[i];
        }
        i += n;
    }
    return out;
}

// Jet's Str(): a leading blank before a non-negative number, no trailing zeros.
QString jetStr(double number)
{
    QString body;
    if (std::isfinite(number) && std::floor(number) == number && std::fabs(number) < 1e15)
        body = QString::number(static_cast<qint64>(number));
    else
        body = QString::number(number, 'g', 15);
    return number >= 0 ? u' ' + body : body;
}

namespace {

QString argText(sqlite3_value* v)
{
    const auto* p = static_cast<const char16_t*>(sqlite3_value_text16(v));
    const int bytes = sqlite3_value_bytes16(v);
    return p ? QString::fromUtf16(p, bytes / 2) : QString();
}

void resultText(sqlite3_context* ctx, const QString& s)
{
    sqlite3_result_text16(ctx, s.utf16(), int(s.size() * 2), SQLITE_TRANSIENT);
}

void fnNow(sqlite3_context* ctx, int, sqlite3_value**)
{
    resultText(ctx, jetNow());
}

void fnFormat(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    if (argc < 2) {
        sqlite3_result_value(ctx, argv[0]);
        return;
    }
    // Fast path for the day filters: 'yyyymmdd' over a stored stamp, straight on the bytes.
    const auto* pat = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    const auto* val = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    if (pat && val && sqlite3_stricmp(pat, "yyyymmdd") == 0 && std::strlen(val) >= 10 && val[4] == '-' &&
        val[7] == '-') {
        char buf[8] = {val[0], val[1], val[2], val[3], val[5], val[6], val[8], val[9]};
        sqlite3_result_text(ctx, buf, 8, SQLITE_TRANSIENT);
        return;
    }
    resultText(ctx, jetFormat(argText(argv[0]), argText(argv[1])));
}

void fnStr(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    resultText(ctx, jetStr(sqlite3_value_double(argv[0])));
}

void fnRnd(sqlite3_context* ctx, int, sqlite3_value**)
{
    sqlite3_result_double(ctx, QRandomGenerator::global()->generateDouble());
}

} // namespace

bool registerJetFunctions(sqlite3* h)
{
    const int det = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    // now() and rnd() must not be deterministic: the engine would evaluate them once per statement.
    const int vol = SQLITE_UTF8;
    bool ok = true;
    ok &= sqlite3_create_function_v2(h, "now", 0, vol, nullptr, fnNow, nullptr, nullptr, nullptr) == SQLITE_OK;
    ok &= sqlite3_create_function_v2(h, "format", 2, det, nullptr, fnFormat, nullptr, nullptr, nullptr) == SQLITE_OK;
    ok &= sqlite3_create_function_v2(h, "format", 1, det, nullptr, fnFormat, nullptr, nullptr, nullptr) == SQLITE_OK;
    ok &= sqlite3_create_function_v2(h, "str", 1, det, nullptr, fnStr, nullptr, nullptr, nullptr) == SQLITE_OK;
    ok &= sqlite3_create_function_v2(h, "rnd", 1, vol, nullptr, fnRnd, nullptr, nullptr, nullptr) == SQLITE_OK;
    ok &= sqlite3_create_function_v2(h, "rnd", 0, vol, nullptr, fnRnd, nullptr, nullptr, nullptr) == SQLITE_OK;
    return ok;
}

} // namespace db
