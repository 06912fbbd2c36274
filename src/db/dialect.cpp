#include "db/dialect.h"

#include <QDate>
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

// The server's dialect: names in brackets, column types, and the functions whose server
// namesakes behave differently (see the server schema for the Jet functions).
void serverForms(QList<Token>& t)
{
    for (int i = 0; i < t.size(); ++i) {
        Token& k = t[i];
        if (k.kind == Tok::Bracket) {
            if (k.text.size() >= 2 && k.text.back() == u']')
                k.text = u'"' + k.text.mid(1, k.text.size() - 2) + u'"';
            continue;
        }
        if (k.kind != Tok::Word)
            continue;
        if (isWord(k, "rowid")) {
            // no rowid on the server: every table read by rowid has its record key in id
            k.text = QStringLiteral("id");
        } else if (isWord(k, "like")) {
            k.text = QStringLiteral("ilike");
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
    if (engine == Engine::PostgreSQL)
        serverForms(t);

    const int first = nextSolid(t, 0);
    if (first < 0 || !isWord(t[first], "select"))
        return join(t);

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
            const QString table = t[name].text;
            for (int k = i; k <= name; ++k)
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
