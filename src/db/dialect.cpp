#include "db/dialect.h"

#include <QDate>
#include <QHash>
#include <QList>

namespace db {
namespace {

enum class Tok { Word, Number, String, Bracket, Punct, Space };

struct Token
{
    Tok kind;
    QString text;
};

QList<Token> tokenize(const QString& s)
{
    QList<Token> out;
    const int n = s.size();
    int i = 0;
    while (i < n) {
        const QChar c = s[i];
        const int start = i;
        if (c == u'\'') {
            ++i;
            while (i < n) {
                if (s[i] == u'\'') {
                    if (i + 1 < n && s[i + 1] == u'\'') {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            out.append({Tok::String, s.mid(start, i - start)});
        } else if (c == u'[') {
            while (i < n && s[i] != u']')
                ++i;
            if (i < n)
                ++i;
            out.append({Tok::Bracket, s.mid(start, i - start)});
        } else if (c.isSpace()) {
            while (i < n && s[i].isSpace())
                ++i;
            out.append({Tok::Space, s.mid(start, i - start)});
        } else if (c.isDigit()) {
            while (i < n && (s[i].isDigit() || s[i] == u'.'))
                ++i;
            out.append({Tok::Number, s.mid(start, i - start)});
        } else if (c.isLetter() || c == u'_' || c.unicode() > 127) {
            while (i < n && (s[i].isLetterOrNumber() || s[i] == u'_' || (s[i].unicode() > 127 && !s[i].isSpace())))
                ++i;
            out.append({Tok::Word, s.mid(start, i - start)});
        } else {
            ++i;
            out.append({Tok::Punct, QString(c)});
        }
    }
    return out;
}

bool isWord(const Token& t, const char* w)
{
    return t.kind == Tok::Word && t.text.compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
}

// Index of the next token that is not white space, or -1.
int nextSolid(const QList<Token>& t, int from)
{
    for (int i = from; i < t.size(); ++i)
        if (t[i].kind != Tok::Space)
            return i;
    return -1;
}

int prevSolid(const QList<Token>& t, int from)
{
    for (int i = from; i >= 0; --i)
        if (t[i].kind != Tok::Space)
            return i;
    return -1;
}

QString join(const QList<Token>& t, int from = 0, int to = -1)
{
    if (to < 0)
        to = t.size();
    QString s;
    for (int i = from; i < to; ++i)
        s += t[i].text;
    return s;
}

// A text literal of a day as the day filters write it: 'yyyymmdd'.
bool dayLiteral(const Token& t, QDate* day)
{
    if (t.kind != Tok::String || t.text.size() != 10)
        return false;
    *day = QDate::fromString(t.text.mid(1, 8), QStringLiteral("yyyyMMdd"));
    return day->isValid();
}

QString stampLiteral(const QDate& day)
{
    return u'\'' + day.toString(QStringLiteral("yyyy-MM-dd")) + u'\'';
}

// The day filters compare format(col,'yyyymmdd') with a day, which formats every stamp of the
// table. Stamps are stored as "yyyy-MM-dd HH:mm:ss" text, so the same whole days are a range on
// the stored text, which an index on the column serves:
//   format(c,'yyyymmdd')>='20130605'  ->  c>='2013-06-05'
//   format(c,'yyyymmdd')<='20130605'  ->  c<'2013-06-06'
// (likewise >, < and =). Other forms, and anything that is not a valid day, are left as written.
void dayRanges(QList<Token>& t)
{
    for (int i = 0; i < t.size(); ++i) {
        if (!isWord(t[i], "format"))
            continue;
        const int open = nextSolid(t, i + 1);
        if (open < 0 || t[open].text != u"(")
            continue;
        int col = nextSolid(t, open + 1);
        if (col < 0 || t[col].kind != Tok::Word)
            continue;
        QString column = t[col].text;
        int after = nextSolid(t, col + 1);
        if (after >= 0 && t[after].text == u"." && after + 1 < t.size() && t[after + 1].kind == Tok::Word) {
            column += u'.' + t[after + 1].text;
            after = nextSolid(t, after + 2);
        }
        if (after < 0 || t[after].text != u",")
            continue;
        const int pat = nextSolid(t, after + 1);
        if (pat < 0 || t[pat].kind != Tok::String ||
            t[pat].text.compare(QLatin1String("'yyyymmdd'"), Qt::CaseInsensitive) != 0)
            continue;
        const int close = nextSolid(t, pat + 1);
        if (close < 0 || t[close].text != u")")
            continue;
        const int op = nextSolid(t, close + 1);
        if (op < 0 || t[op].kind != Tok::Punct)
            continue;
        QString oper = t[op].text;
        int last = op;
        if (op + 1 < t.size() && t[op + 1].kind == Tok::Punct && t[op + 1].text == u"=")
            oper += t[++last].text;
        const int lit = nextSolid(t, last + 1);
        QDate day;
        if (lit < 0 || !dayLiteral(t[lit], &day))
            continue;
        // Only a comparison standing on its own: no operator binding tighter on either side.
        const int before = prevSolid(t, i - 1);
        const int behind = nextSolid(t, lit + 1);
        auto loose = [&t](int k) {
            return k < 0 || t[k].kind == Tok::Word || t[k].text == u"(" || t[k].text == u")" || t[k].text == u"," ||
                   t[k].text == u";";
        };
        if (!loose(before) || !loose(behind))
            continue;
        const QString from = stampLiteral(day);
        const QString next = stampLiteral(day.addDays(1));
        QString range;
        if (oper == u">=")
            range = column + QStringLiteral(">=") + from;
        else if (oper == u">")
            range = column + QStringLiteral(">=") + next;
        else if (oper == u"<=")
            range = column + QStringLiteral("<") + next;
        else if (oper == u"<")
            range = column + QStringLiteral("<") + from;
        else if (oper == u"=")
            range = u'(' + column + QStringLiteral(">=") + from + QStringLiteral(" and ") + column + u'<' + next + u')';
        else
            continue;
        t[i].text = range;
        for (int k = i + 1; k <= lit; ++k)
            t[k].text.clear();
        i = lit;
    }
}

bool callFollows(const QList<Token>& t, int i)
{
    const int open = nextSolid(t, i + 1);
    return open >= 0 && t[open].text == u"(";
}

// Rows with a null sort key come first in ascending order on the file and last on the server:
// every sort item on the server says where nulls go as the file has them. Record keys (id, aid)
// are never null and are left as they are, so that their index still serves the sort; the
// server's indexes put nulls first to match the rest.
void fileNullOrder(QList<Token>& t)
{
    auto endsItem = [](const Token& k) {
        return isWord(k, "limit") || isWord(k, "offset") || isWord(k, "for") || isWord(k, "union") ||
               isWord(k, "except") || isWord(k, "intersect") || k.text == u";";
    };
    for (int i = 0; i < t.size(); ++i) {
        if (!isWord(t[i], "order"))
            continue;
        const int by = nextSolid(t, i + 1);
        if (by < 0 || !isWord(t[by], "by"))
            continue;
        int depth = 0;
        int itemStart = by + 1;
        int last = -1;
        bool done = false;
        for (int k = by + 1; k <= t.size() && !done; ++k) {
            const bool atEnd = k == t.size();
            bool close = atEnd;
            if (!atEnd) {
                if (t[k].text == u"(") {
                    ++depth;
                } else if (t[k].text == u")") {
                    if (depth == 0)
                        close = done = true;
                    else
                        --depth;
                } else if (depth == 0 && (t[k].text == u"," || endsItem(t[k]))) {
                    close = true;
                    done = endsItem(t[k]);
                }
            }
            if (!close) {
                if (t[k].kind != Tok::Space)
                    last = k;
                continue;
            }
            done = done || atEnd;
            if (last >= itemStart) {
                bool named = false;
                int solid = 0;
                for (int j = itemStart; j <= last; ++j) {
                    named = named || isWord(t[j], "nulls");
                    solid += t[j].kind != Tok::Space ? 1 : 0;
                }
                const int first = nextSolid(t, itemStart);
                const bool desc = isWord(t[last], "desc");
                const bool key =
                    (solid == 1 || (solid == 2 && desc)) && (isWord(t[first], "id") || isWord(t[first], "aid"));
                if (!named && !key)
                    t[last].text += desc ? QStringLiteral(" nulls last") : QStringLiteral(" nulls first");
            }
            itemStart = k + 1;
            last = -1;
        }
    }
}

// The server wants a name for every subquery in FROM; the file does not.
void nameSubqueries(QList<Token>& t)
{
    int serial = 0;
    for (int i = 0; i < t.size(); ++i) {
        if (!isWord(t[i], "from") && !isWord(t[i], "join"))
            continue;
        const int open = nextSolid(t, i + 1);
        if (open < 0 || t[open].text != u"(")
            continue;
        int depth = 0;
        int close = -1;
        for (int k = open; k < t.size(); ++k) {
            if (t[k].text == u"(")
                ++depth;
            else if (t[k].text == u")" && --depth == 0) {
                close = k;
                break;
            }
        }
        if (close < 0)
            continue;
        const int after = nextSolid(t, close + 1);
        const bool named = after >= 0 && t[after].kind == Tok::Word &&
                           !(isWord(t[after], "where") || isWord(t[after], "group") || isWord(t[after], "order") ||
                             isWord(t[after], "limit") || isWord(t[after], "left") || isWord(t[after], "right") ||
                             isWord(t[after], "inner") || isWord(t[after], "join") || isWord(t[after], "cross") ||
                             isWord(t[after], "union") || isWord(t[after], "having") || isWord(t[after], "on") ||
                             isWord(t[after], "except") || isWord(t[after], "intersect") || isWord(t[after], "offset"));
        if (!named)
            t[close].text += QStringLiteral(" as sub%1").arg(++serial);
    }
}

// A plain read of one table or view without a sort: the file gives its rows in key order, the
// server in whatever order it keeps them (an updated row moves to the end). The server is told
// the key order the file gives.
QString fileRowOrder(const QList<Token>& t, int first)
{
    static const QHash<QString, QString> keys = {
        {QStringLiteral("syslogin"), QStringLiteral("id")},   {QStringLiteral("syslog"), QStringLiteral("id")},
        {QStringLiteral("t_ywbh"), QStringLiteral("ywbh")},   {QStringLiteral("q_table"), QStringLiteral("qid")},
        {QStringLiteral("q_sel"), QStringLiteral("aid")},     {QStringLiteral("yhda"), QStringLiteral("id")},
        {QStringLiteral("q_ans"), QStringLiteral("id")},      {QStringLiteral("visitlog"), QStringLiteral("id")},
        {QStringLiteral("yhdaview"), QStringLiteral("id")},   {QStringLiteral("visitlogview"), QStringLiteral("id")},
        {QStringLiteral("qansbbview"), QStringLiteral("id")}, {QStringLiteral("qview"), QStringLiteral("qid")},
        {QStringLiteral("hwtjview2"), QStringLiteral("id")},  {QStringLiteral("tmp"), QStringLiteral("id")},
    };
    int depth = 0;
    int from = -1;
    for (int i = first + 1; i < t.size(); ++i) {
        const Token& k = t[i];
        if (k.text == u"(")
            ++depth;
        else if (k.text == u")")
            --depth;
        if (k.kind != Tok::Word)
            continue;
        // aggregates, distinct rows, groups, joins, unions and sorts keep the engine's order
        if (isWord(k, "count") || isWord(k, "sum") || isWord(k, "max") || isWord(k, "min") || isWord(k, "avg") ||
            isWord(k, "group_concat") || isWord(k, "total") || isWord(k, "distinct") || isWord(k, "with") ||
            isWord(k, "lead") || isWord(k, "over"))
            return QString();
        if (depth != 0)
            continue;
        if (isWord(k, "order") || isWord(k, "group") || isWord(k, "join") || isWord(k, "union") || isWord(k, "into"))
            return QString();
        if (isWord(k, "from") && from < 0)
            from = i;
    }
    if (from < 0)
        return QString();
    const int table = nextSolid(t, from + 1);
    if (table < 0 || t[table].kind != Tok::Word)
        return QString();
    const int after = nextSolid(t, table + 1);
    if (after >= 0 && !isWord(t[after], "where") && t[after].text != u";")
        return QString();
    return keys.value(t[table].text.toLower());
}

// An index the program makes (the report's scratch table) keeps nulls where the sorts above put
// them, so that it still serves them.
void indexNullOrder(QList<Token>& t)
{
    const int create = nextSolid(t, 0);
    if (create < 0 || !isWord(t[create], "create"))
        return;
    int k = nextSolid(t, create + 1);
    if (k >= 0 && isWord(t[k], "unique"))
        k = nextSolid(t, k + 1);
    if (k < 0 || !isWord(t[k], "index"))
        return;
    while (k >= 0 && k < t.size() && !isWord(t[k], "on"))
        ++k;
    const int table = k < t.size() ? nextSolid(t, k + 1) : -1;
    const int open = table < 0 ? -1 : nextSolid(t, table + 1);
    if (open < 0 || t[open].text != u"(")
        return;
    int last = -1;
    for (int j = open + 1; j < t.size(); ++j) {
        if (t[j].text == u"(")
            return; // expressions: left as written
        if (t[j].text == u"," || t[j].text == u")") {
            if (last >= 0 && !isWord(t[last], "id")) {
                const bool desc = isWord(t[last], "desc");
                t[last].text += desc ? QStringLiteral(" nulls last") : QStringLiteral(" nulls first");
            }
            if (t[j].text == u")")
                return;
            last = -1;
        } else if (t[j].kind != Tok::Space) {
            last = j;
        }
    }
}

// The server's dialect: names in brackets, column types, and the functions whose server
// namesakes behave differently (see the server schema for the Jet functions).
void serverForms(QList<Token>& t)
{
    for (int i = 0; i < t.size(); ++i) {
        Token& k = t[i];
        if (k.kind == Tok::Punct && k.text == u"+") {
            // A unary "+" (the file's way to keep an index out of a search) has no meaning for
            // text on the server.
            const int p = prevSolid(t, i - 1);
            const bool unary =
                p < 0 || (t[p].kind == Tok::Punct && t[p].text != u")" && t[p].text != u"?") ||
                (t[p].kind == Tok::Word &&
                 (isWord(t[p], "and") || isWord(t[p], "or") || isWord(t[p], "where") || isWord(t[p], "on") ||
                  isWord(t[p], "by") || isWord(t[p], "not") || isWord(t[p], "select") || isWord(t[p], "when") ||
                  isWord(t[p], "then") || isWord(t[p], "else")));
            if (unary)
                k.text.clear();
            continue;
        }
        if (k.kind == Tok::Bracket) {
            if (k.text.size() >= 2 && k.text.back() == u']')
                k.text = u'"' + k.text.mid(1, k.text.size() - 2) + u'"';
            continue;
        }
        if (k.kind != Tok::Word)
            continue;
        if (isWord(k, "is")) {
            // "x is ?" or "x is (select ...)" (equal, nulls included): the server takes a value
            // after "is not distinct from"
            int nx = nextSolid(t, i + 1);
            const bool negated = nx >= 0 && isWord(t[nx], "not");
            if (negated)
                nx = nextSolid(t, nx + 1);
            if (nx >= 0 && (t[nx].text == u"?" || t[nx].text == u"(")) {
                k.text = negated ? QStringLiteral("is distinct from") : QStringLiteral("is not distinct from");
                for (int j = i + 1; j < nx; ++j)
                    t[j].text = (t[j].kind == Tok::Space) ? t[j].text : QString();
            }
        } else if (isWord(k, "scratch") && i + 1 < t.size() && t[i + 1].text == u".") {
            // the connection's own work tables are the session's temporary ones; an index is
            // named without its schema there (it goes with its table)
            const int before = prevSolid(t, i - 1);
            if (before >= 0 && isWord(t[before], "index"))
                k.text.clear(), t[i + 1].text.clear();
            else
                k.text = QStringLiteral("pg_temp");
        } else if (isWord(k, "rowid")) {
            // no rowid on the server: every table read by rowid has its record key in id
            k.text = QStringLiteral("id");
        } else if (isWord(k, "like")) {
            k.text = QStringLiteral("ilike");
            // The server's "like" takes a backslash as its escape character, Jet's has none: a
            // typed backslash is text, as on the file.
            const int pat = nextSolid(t, i + 1);
            const int after = pat < 0 ? -1 : nextSolid(t, pat + 1);
            const bool single = pat >= 0 && (t[pat].kind == Tok::String || t[pat].text == u"?") &&
                                (after < 0 || (!isWord(t[after], "escape") && t[after].text != u"+" &&
                                               !t[after].text.startsWith(u'|')));
            if (single)
                t[pat].text += QStringLiteral(" escape ''");
        } else if (isWord(k, "now") && callFollows(t, i)) {
            k.text = QStringLiteral("jetnow");
        } else if (isWord(k, "format") && callFollows(t, i)) {
            k.text = QStringLiteral("jetformat");
        } else if (isWord(k, "last_insert_rowid") && callFollows(t, i)) {
            k.text = QStringLiteral("lastval");
        } else if (isWord(k, "char") && callFollows(t, i)) {
            // char(0), which carries a NUL inside quoted text: the server's text cannot hold
            // one, so it is left out there.
            const int open = nextSolid(t, i + 1);
            const int num = nextSolid(t, open + 1);
            const int close = num < 0 ? -1 : nextSolid(t, num + 1);
            if (num >= 0 && t[num].text == u"0" && close >= 0 && t[close].text == u")") {
                k.text = QStringLiteral("''");
                for (int j = i + 1; j <= close; ++j)
                    t[j].text.clear();
            }
        } else if (isWord(k, "text") && callFollows(t, i)) {
            // text(255): the server's text has no length
            const int open = nextSolid(t, i + 1);
            const int num = nextSolid(t, open + 1);
            const int close = num < 0 ? -1 : nextSolid(t, num + 1);
            if (num >= 0 && t[num].kind == Tok::Number && close >= 0 && t[close].text == u")")
                for (int j = i + 1; j <= close; ++j)
                    t[j].text.clear();
        }
    }
}

} // namespace

QString translate(const QString& jet, Engine engine)
{
    QList<Token> t = tokenize(jet);

    // Jet joins text with "+"; make it the standard operator where one side is a text literal.
    for (int i = 0; i < t.size(); ++i) {
        if (t[i].kind != Tok::Punct || t[i].text != u"+")
            continue;
        const int p = prevSolid(t, i - 1);
        const int nx = nextSolid(t, i + 1);
        if ((p >= 0 && t[p].kind == Tok::String) || (nx >= 0 && t[nx].kind == Tok::String))
            t[i].text = QStringLiteral("||");
    }
    dayRanges(t);
    if (engine == Engine::PostgreSQL) {
        serverForms(t);
        fileNullOrder(t);
        indexNullOrder(t);
    }

    const int first = nextSolid(t, 0);
    if (engine == Engine::PostgreSQL)
        nameSubqueries(t);
    if (first < 0 || !isWord(t[first], "select"))
        return join(t);
    if (engine == Engine::PostgreSQL) {
        const QString key = fileRowOrder(t, first);
        if (!key.isEmpty()) {
            // before a written limit, else at the end
            int depth = 0;
            int at = -1;
            for (int i = first + 1; i < t.size() && at < 0; ++i) {
                if (t[i].text == u"(")
                    ++depth;
                else if (t[i].text == u")")
                    --depth;
                else if (depth == 0 && (isWord(t[i], "limit") || isWord(t[i], "offset") || isWord(t[i], "for")))
                    at = i;
            }
            if (at >= 0) {
                t[at].text = QStringLiteral("order by ") + key + u' ' + t[at].text;
            } else {
                int end = t.size() - 1;
                while (end >= 0 && (t[end].kind == Tok::Space || t[end].text == u";"))
                    --end;
                if (end >= 0)
                    t[end].text += QStringLiteral(" order by ") + key;
            }
        }
    }

    // select top N ...  ->  select ... limit N
    QString limit;
    int afterSelect = nextSolid(t, first + 1);
    if (afterSelect >= 0 && isWord(t[afterSelect], "top")) {
        const int num = nextSolid(t, afterSelect + 1);
        if (num >= 0 && t[num].kind == Tok::Number) {
            limit = t[num].text;
            for (int i = afterSelect; i <= num; ++i)
                t[i].text.clear();
            if (num + 1 < t.size() && t[num + 1].kind == Tok::Space)
                t[num + 1].text.clear();
        }
    }

    // select list into T from ...  ->  create table T as select list from ...  (top level only)
    int depth = 0;
    for (int i = first + 1; i < t.size(); ++i) {
        if (t[i].kind == Tok::Punct && t[i].text == u"(")
            ++depth;
        else if (t[i].kind == Tok::Punct && t[i].text == u")")
            --depth;
        else if (depth == 0 && isWord(t[i], "from"))
            break;
        else if (depth == 0 && isWord(t[i], "into")) {
            const int name = nextSolid(t, i + 1);
            if (name < 0)
                break;
            // a qualified name (temp.tmp) is taken whole
            int last = name;
            if (last + 2 < t.size() && t[last + 1].text == u"." && t[last + 2].kind == Tok::Word)
                last += 2;
            const QString table = join(t, name, last + 1);
            for (int k = i; k <= last; ++k)
                t[k].text.clear();
            QString head = join(t, 0, first);
            QString rest = join(t, first);
            QString out = head + QStringLiteral("create table ") + table + QStringLiteral(" as ") + rest;
            if (!limit.isEmpty())
                out += QStringLiteral(" limit ") + limit;
            return out;
        }
    }

    QString out = join(t);
    if (!limit.isEmpty()) {
        // a trailing ";" stays last
        QString trimmed = out;
        while (!trimmed.isEmpty() && (trimmed.back().isSpace() || trimmed.back() == u';'))
            trimmed.chop(1);
        out = trimmed + QStringLiteral(" limit ") + limit;
    }
    return out;
}

} // namespace db
