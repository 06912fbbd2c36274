#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QVector>
#include <cstring>
#include <functional>
#include <string>

// Reads the XML of one part of a workbook package as it is inflated, one token at a time, on the
// bytes themselves: no tree and no string per token. Elements come by their local name (without
// a prefix), attributes as bytes until asked for as text, text as pieces to append. A part is
// read this way because a sheet of 100,000 rows is some million elements: a general reader's
// cost per token made reading a sheet take several times as long as reading the same rows as
// .csv text.
//
// It checks what a damaged or hostile part gets wrong: tags nest and end in order, attribute
// values are quoted, there is one root (reading ends with it) and no text outside it;
// references must be the five the language predefines or character numbers; a document type is
// refused (declared entities are how XML is made to expand without end). Parts in UTF-16 are
// refused. Bytes it cannot place throw XlsError.
class PartXml
{
public:
    // Copies up to `size` more bytes of the part to `into`; 0 at its end. Throws on damage.
    using Source = std::function<qsizetype(char* into, qsizetype size)>;
    enum Token { StartElement, EndElement, Characters, EndDocument };

    explicit PartXml(Source source);

    // The next token. An empty element (<a/>) is a StartElement followed by its EndElement;
    // a long text may come as several Characters in a row.
    Token next();

    // The local name of the element just started or ended.
    QByteArrayView name() const { return m_name; }
    template <qsizetype N> bool isNamed(const char (&name)[N]) const { return equals(m_name, name); }
    // Bytes compared with a literal, cheaply: a sheet asks this some million times.
    template <qsizetype N> static bool equals(QByteArrayView bytes, const char (&literal)[N])
    {
        return bytes.size() == N - 1 && std::memcmp(bytes.data(), literal, N - 1) == 0;
    }
    // The value of the attribute of the element just started with this local name, as written
    // (references not resolved; empty when the element has none).
    QByteArrayView attribute(QByteArrayView localName) const;
    // The same value as text, references resolved.
    QString attributeText(QByteArrayView localName) const;
    // Appends the text just read (Characters) to `to`, references resolved.
    void appendText(QString* to) const;
    // The text just read as written, and whether it holds references to resolve (raw bytes are
    // then not the text).
    QByteArrayView rawText() const { return m_text; }
    bool textHasReferences() const { return m_textRefs; }
    // Elements open around the current token (the root's start is at depth 1).
    int depth() const { return int(m_openEnds.size()); }

    // Appends UTF-8 bytes of XML text to `to`, references resolved; throws on an unknown one.
    static void appendDecoded(QString* to, QByteArrayView raw);

private:
    struct Attribute
    {
        qsizetype name, nameSize, value, valueSize; // within m_buf
    };
    bool more();
    qsizetype find(char c, qsizetype from);
    qsizetype find(QByteArrayView s, qsizetype from);
    Token startOrEnd();
    bool tag(Token* token);
    bool text();
    void skipTo(QByteArrayView end, qsizetype from);
    [[noreturn]] void fail(const QString& why) const;

    Source m_source;
    QByteArray m_buf;
    qsizetype m_pos = 0, m_end = 0;
    bool m_eof = false;
    bool m_started = false;
    bool m_rootSeen = false;
    bool m_done = false;
    bool m_pendingEnd = false; // an empty element's end, given by the next call
    // The open elements' qualified names, end to end, and where each ends.
    std::string m_open;
    QVector<qsizetype> m_openEnds;
    QByteArrayView m_name;
    QByteArrayView m_text;
    bool m_textRefs = false;
    QVector<Attribute> m_attributes;
};
