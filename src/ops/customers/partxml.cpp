#include "ops/customers/partxml.h"

#include "ops/customers/sheetreader.h"

#include <cstring>

namespace {

constexpr qsizetype kStartSize = 256 * 1024;
// A text longer than this is given in pieces; a tag, comment or CDATA section longer than the
// buffer may grow to is refused.
constexpr qsizetype kPiece = 64 * 1024;
constexpr qsizetype kMaxBuffer = 4 * 1024 * 1024;

bool isSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

QByteArrayView localName(QByteArrayView qualified)
{
    const char* b = qualified.data();
    for (qsizetype i = qualified.size(); i-- > 0;)
        if (b[i] == ':')
            return qualified.sliced(i + 1);
    return qualified;
}

// Names are a few bytes: a loop beats a call.
bool same(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i] != b[i])
            return false;
    return true;
}

// The length of the UTF-8 character this byte begins (1 for a byte no character begins with:
// the decoder marks it).
qsizetype utf8Length(uchar lead)
{
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

} // namespace

PartXml::PartXml(Source source) : m_source(std::move(source)), m_buf(kStartSize, Qt::Uninitialized) {}

void PartXml::fail(const QString& why) const
{
    throw XlsError(QStringLiteral("the workbook's XML is not well formed: %1").arg(why));
}

// Keeps the bytes not yet read at the front of the buffer and reads more after them; false at
// the end of the part. Positions within the buffer move: callers hold offsets from m_pos.
bool PartXml::more()
{
    if (m_eof)
        return false;
    if (m_pos > 0) {
        std::memmove(m_buf.data(), m_buf.constData() + m_pos, size_t(m_end - m_pos));
        m_end -= m_pos;
        m_pos = 0;
    }
    if (m_end == m_buf.size()) {
        if (m_buf.size() >= kMaxBuffer)
            fail(QStringLiteral("a tag or section is too long"));
        m_buf.resize(m_buf.size() * 2);
    }
    const qsizetype n = m_source(m_buf.data() + m_end, m_buf.size() - m_end);
    if (n <= 0) {
        m_eof = true;
        return false;
    }
    m_end += n;
    return true;
}

// The position of c at or after `from`, reading on as needed; -1 at the end of the part.
qsizetype PartXml::find(char c, qsizetype from)
{
    qsizetype offset = from - m_pos;
    for (;;) {
        const qsizetype at = m_pos + offset;
        if (at < m_end) {
            const void* hit = std::memchr(m_buf.constData() + at, c, size_t(m_end - at));
            if (hit)
                return static_cast<const char*>(hit) - m_buf.constData();
        }
        offset = m_end - m_pos;
        if (!more())
            return -1;
    }
}

qsizetype PartXml::find(QByteArrayView s, qsizetype from)
{
    qsizetype offset = from - m_pos;
    for (;;) {
        const qsizetype at = QByteArrayView(m_buf.constData(), m_end).indexOf(s, m_pos + offset);
        if (at >= 0)
            return at;
        offset = std::max(offset, m_end - m_pos - s.size() + 1);
        if (!more())
            return -1;
    }
}

void PartXml::skipTo(QByteArrayView end, qsizetype from)
{
    const qsizetype at = find(end, from);
    if (at < 0)
        fail(QStringLiteral("it ends inside a comment or instruction"));
    m_pos = at + end.size();
}

PartXml::Token PartXml::next()
{
    if (m_pendingEnd) {
        m_pendingEnd = false;
        m_openEnds.removeLast();
        m_open.resize(size_t(m_openEnds.isEmpty() ? 0 : m_openEnds.last()));
        m_done = m_openEnds.isEmpty();
        return EndElement;
    }
    if (!m_started) {
        m_started = true;
        while (m_end - m_pos < 3 && more()) {
        }
        const QByteArrayView head(m_buf.constData() + m_pos, std::min<qsizetype>(3, m_end - m_pos));
        if (head == "\xEF\xBB\xBF")
            m_pos += 3; // UTF-8's byte-order mark
        else if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF"))
            throw XlsError(QStringLiteral("the workbook's XML is in UTF-16, which is not read"));
    }
    for (;;) {
        if (m_done)
            return EndDocument;
        if (m_pos == m_end && !more()) {
            if (!m_rootSeen)
                fail(QStringLiteral("it has no element"));
            fail(QStringLiteral("it ends inside an element"));
        }
        if (m_buf[m_pos] != '<') {
            if (text())
                return Characters;
            continue;
        }
        const char second = m_pos + 1 < m_end || more() ? m_buf[m_pos + 1] : 0;
        if (second != '?' && second != '!')
            return startOrEnd();
        while (m_end - m_pos < 9 && more()) {
        }
        const QByteArrayView ahead(m_buf.constData() + m_pos, std::min<qsizetype>(9, m_end - m_pos));
        if (second == '?') {
            skipTo("?>", m_pos + 2);
        } else if (ahead.startsWith("<!--")) {
            skipTo("-->", m_pos + 4);
        } else if (ahead.startsWith("<![CDATA[")) {
            if (m_openEnds.isEmpty())
                fail(QStringLiteral("text outside the root element"));
            const qsizetype at = find("]]>", m_pos + 9);
            if (at < 0)
                fail(QStringLiteral("it ends inside a CDATA section"));
            m_text = QByteArrayView(m_buf.constData() + m_pos + 9, at - m_pos - 9);
            m_textRefs = false;
            m_pos = at + 3;
            return Characters;
        } else {
            throw XlsError(QStringLiteral("the workbook's XML declares a document type"));
        }
    }
}

// Text up to the next tag (or a piece of it); false when it is the space between tags outside
// the root, which is not given.
bool PartXml::text()
{
    qsizetype lt = -1;
    for (qsizetype scanned = 0;;) {
        const qsizetype from = m_pos + scanned;
        const void* hit = from < m_end ? std::memchr(m_buf.constData() + from, '<', size_t(m_end - from)) : nullptr;
        if (hit) {
            lt = static_cast<const char*>(hit) - m_buf.constData();
            break;
        }
        if (m_end - m_pos >= kPiece) {
            // A long text is given in pieces, cut between characters and outside a reference.
            qsizetype cut = m_end;
            const qsizetype amp = QByteArrayView(m_buf.constData() + m_pos, cut - m_pos).lastIndexOf('&');
            if (amp >= 0 && QByteArrayView(m_buf.constData() + m_pos + amp, cut - m_pos - amp).indexOf(';') < 0)
                cut = m_pos + amp;
            qsizetype lead = cut - 1;
            while (lead > m_pos && (uchar(m_buf[lead]) & 0xC0) == 0x80)
                --lead;
            if (lead >= m_pos && lead + utf8Length(uchar(m_buf[lead])) > cut)
                cut = lead;
            if (cut > m_pos) {
                lt = cut;
                break;
            }
        }
        scanned = m_end - m_pos;
        if (!more()) {
            lt = m_end;
            break;
        }
    }
    m_text = QByteArrayView(m_buf.constData() + m_pos, lt - m_pos);
    m_pos = lt;
    m_textRefs = m_text.contains('&');
    if (m_openEnds.isEmpty()) {
        for (char c : m_text)
            if (!isSpace(c))
                fail(QStringLiteral("text outside the root element"));
        return false;
    }
    return true;
}

PartXml::Token PartXml::startOrEnd()
{
    for (;;) {
        Token t;
        if (tag(&t))
            return t;
        if (!more())
            fail(QStringLiteral("it ends inside a tag"));
    }
}

// The tag at m_pos, read in one pass; false when the bytes read so far end inside it (nothing
// is taken then: it is read again from its start with more bytes).
bool PartXml::tag(Token* token)
{
    const char* b = m_buf.constData();
    const qsizetype end = m_end;
    qsizetype i = m_pos + 1;
    if (i < end && b[i] == '/') {
        const qsizetype from = ++i;
        while (i < end && b[i] != '>') {
            if (b[i] == '<')
                fail(QStringLiteral("a tag is not closed"));
            ++i;
        }
        if (i == end)
            return false;
        qsizetype e = i;
        while (e > from && isSpace(b[e - 1]))
            --e;
        const QByteArrayView qualified(b + from, e - from);
        const qsizetype openFrom = m_openEnds.size() > 1 ? m_openEnds[m_openEnds.size() - 2] : 0;
        if (m_openEnds.isEmpty() ||
            !same(QByteArrayView(m_open.data() + openFrom, m_openEnds.last() - openFrom), qualified))
            fail(QStringLiteral("the end tag %1 does not match")
                     .arg(QString::fromUtf8(qualified.first(std::min<qsizetype>(64, qualified.size())))));
        m_openEnds.removeLast();
        m_open.resize(size_t(openFrom));
        m_name = localName(qualified);
        m_pos = i + 1;
        m_done = m_openEnds.isEmpty();
        *token = EndElement;
        return true;
    }
    if (m_done || (m_rootSeen && m_openEnds.isEmpty()))
        fail(QStringLiteral("more than one root element"));
    const qsizetype nameFrom = i;
    while (i < end && !isSpace(b[i]) && b[i] != '/' && b[i] != '>') {
        if (b[i] == '<')
            fail(QStringLiteral("a tag is not closed"));
        ++i;
    }
    if (i == end)
        return false;
    const QByteArrayView qualified(b + nameFrom, i - nameFrom);
    if (qualified.isEmpty())
        fail(QStringLiteral("a tag has no name"));
    m_attributes.clear();
    bool empty = false;
    for (;;) {
        while (i < end && isSpace(b[i]))
            ++i;
        if (i == end)
            return false;
        if (b[i] == '>')
            break;
        if (b[i] == '/') {
            if (i + 1 == end)
                return false;
            if (b[i + 1] != '>')
                fail(QStringLiteral("a stray '/' in a tag"));
            empty = true;
            ++i;
            break;
        }
        const qsizetype an = i;
        while (i < end && !isSpace(b[i]) && b[i] != '=' && b[i] != '>' && b[i] != '/' && b[i] != '<')
            ++i;
        const qsizetype anSize = i - an;
        while (i < end && isSpace(b[i]))
            ++i;
        if (i == end)
            return false;
        if (anSize == 0 || b[i] != '=')
            fail(QStringLiteral("an attribute has no value"));
        ++i;
        while (i < end && isSpace(b[i]))
            ++i;
        if (i == end)
            return false;
        if (b[i] != '"' && b[i] != '\'')
            fail(QStringLiteral("an attribute value is not quoted"));
        const char quote = b[i++];
        const void* close = std::memchr(b + i, quote, size_t(end - i));
        if (!close)
            return false;
        const qsizetype v = i;
        i = static_cast<const char*>(close) - b;
        if (std::memchr(b + v, '<', size_t(i - v)))
            fail(QStringLiteral("'<' inside an attribute value"));
        m_attributes.append({an, anSize, v, i - v});
        ++i;
        if (i == end)
            return false;
        if (!isSpace(b[i]) && b[i] != '/' && b[i] != '>')
            fail(QStringLiteral("attributes run together"));
    }
    m_open.append(qualified.data(), size_t(qualified.size()));
    m_openEnds.append(qsizetype(m_open.size()));
    m_rootSeen = true;
    m_name = localName(qualified);
    m_pendingEnd = empty;
    m_pos = i + 1;
    *token = StartElement;
    return true;
}

QByteArrayView PartXml::attribute(QByteArrayView name) const
{
    for (const Attribute& a : m_attributes) {
        if (same(localName(QByteArrayView(m_buf.constData() + a.name, a.nameSize)), name))
            return QByteArrayView(m_buf.constData() + a.value, a.valueSize);
    }
    return {};
}

QString PartXml::attributeText(QByteArrayView name) const
{
    QString s;
    appendDecoded(&s, attribute(name));
    return s;
}

void PartXml::appendText(QString* to) const
{
    if (m_textRefs)
        appendDecoded(to, m_text);
    else
        to->append(QString::fromUtf8(m_text));
}

void PartXml::appendDecoded(QString* to, QByteArrayView raw)
{
    for (;;) {
        const qsizetype amp = raw.indexOf('&');
        if (amp < 0) {
            to->append(QString::fromUtf8(raw));
            return;
        }
        to->append(QString::fromUtf8(raw.first(amp)));
        const qsizetype semi = raw.indexOf(';', amp);
        if (semi < 0 || semi - amp > 12)
            throw XlsError(QStringLiteral("the workbook's XML holds a '&' that is no reference"));
        const QByteArrayView ref = raw.sliced(amp + 1, semi - amp - 1);
        if (ref == "lt")
            to->append(u'<');
        else if (ref == "gt")
            to->append(u'>');
        else if (ref == "amp")
            to->append(u'&');
        else if (ref == "quot")
            to->append(u'"');
        else if (ref == "apos")
            to->append(u'\'');
        else if (ref.startsWith('#')) {
            bool ok = false;
            const uint code = ref.startsWith("#x") ? ref.sliced(2).toUInt(&ok, 16) : ref.sliced(1).toUInt(&ok, 10);
            if (!ok || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
                throw XlsError(QStringLiteral("the workbook's XML refers to a character that is not there"));
            const char32_t c = code;
            to->append(QString::fromUcs4(&c, 1));
        } else {
            // Only a document type could define it, and that is refused.
            throw XlsError(QStringLiteral("the workbook's XML refers to an entity it does not define"));
        }
        raw = raw.sliced(semi + 1);
    }
}
