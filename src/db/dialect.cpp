#include "db/dialect.h"

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

} // namespace

QString translate(const QString& jet, Engine)
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
