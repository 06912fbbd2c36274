#include "ops/customers/csvreader.h"

#include <QFileInfo>

namespace {

constexpr qint64 kChunk = 64 * 1024;
constexpr qsizetype kMaxFieldChars = 1024 * 1024;
constexpr qsizetype kMaxFields = 16384;

const QString kUtf8 = QStringLiteral("UTF-8");
const QString kGb18030 = QStringLiteral("GB18030");
const QString kUtf16 = QStringLiteral("UTF-16");

[[noreturn]] void fail(const QString& text)
{
    throw XlsError(text);
}

// The length of the byte-order mark of this encoding at the start of the file (0: none).
int markLength(const QByteArray& head, const QString& encoding, bool bigEndian)
{
    if (encoding == kUtf8 && head.startsWith("\xEF\xBB\xBF"))
        return 3;
    if (encoding == kUtf16 && head.startsWith(bigEndian ? "\xFE\xFF" : "\xFF\xFE"))
        return 2;
    return 0;
}

} // namespace

CsvReader::~CsvReader()
{
    close();
}

QStringList CsvReader::encodings()
{
    return {kUtf8, kGb18030, kUtf16};
}

void CsvReader::close()
{
    resetSheet();
    m_path.clear();
    m_sheets.clear();
    m_encoding.clear();
    m_bigEndian = false;
}

void CsvReader::open(const QString& path)
{
    close();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read %1").arg(path));
    const QByteArray head = f.peek(4);
    if (head.startsWith("\xEF\xBB\xBF")) {
        m_encoding = kUtf8;
    } else if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF")) {
        m_encoding = kUtf16;
        m_bigEndian = head.startsWith("\xFE\xFF");
    } else {
        // UTF-8 when every byte of the file fits it; GB18030 (a superset of GBK) otherwise.
        QStringDecoder utf8(QStringDecoder::Utf8);
        while (!f.atEnd() && !utf8.hasError()) {
            const QString piece = utf8.decode(f.read(kChunk));
            Q_UNUSED(piece);
        }
        m_encoding = utf8.hasError() ? kGb18030 : kUtf8;
    }
    m_path = path;
    m_sheets << QFileInfo(path).completeBaseName();
}

void CsvReader::setEncoding(const QString& name)
{
    if (!encodings().contains(name))
        fail(QStringLiteral("no encoding %1").arg(name));
    resetSheet();
    m_encoding = name;
}

void CsvReader::startRows(int)
{
    m_file = std::make_unique<QFile>(m_path);
    if (!m_file->open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read %1").arg(m_path));
    m_file->skip(markLength(m_file->peek(4), m_encoding, m_bigEndian));
    if (m_encoding == kUtf8)
        m_decoder = std::make_unique<QStringDecoder>(QStringDecoder::Utf8);
    else if (m_encoding == kUtf16)
        m_decoder = std::make_unique<QStringDecoder>(m_bigEndian ? QStringDecoder::Utf16BE : QStringDecoder::Utf16LE);
    else
        m_decoder = std::make_unique<QStringDecoder>("GB18030");
    if (!m_decoder->isValid())
        fail(QStringLiteral("no decoder for %1").arg(m_encoding));
    m_text.clear();
    m_pos = 0;
    m_atEnd = false;
    // The separator is the one the header line uses most.
    while (fill() && !m_text.contains(u'\n'))
        ;
    const QStringView line = QStringView(m_text).left(m_text.indexOf(u'\n'));
    m_separator = u',';
    qsizetype most = line.count(u',');
    for (QChar c : {QChar(u';'), QChar(u'\t')})
        if (line.count(c) > most)
            most = line.count(c), m_separator = c;
}

void CsvReader::endRows()
{
    m_file.reset();
    m_decoder.reset();
    m_text.clear();
    m_pos = 0;
}

// Decodes the next piece of the file; false at its end.
bool CsvReader::fill()
{
    if (m_atEnd)
        return false;
    const QByteArray bytes = m_file->read(kChunk);
    QString piece = m_decoder->decode(bytes);
    if (bytes.isEmpty()) {
        m_atEnd = true;
        // A sequence cut off by the end of the file is an error too: the decoder holds it back
        // until it sees what follows, so it is shown a line break (and that is dropped again).
        if (m_encoding != kUtf16) {
            const QString tail = m_decoder->decode(QByteArrayLiteral("\n"));
            if (tail != QStringLiteral("\n"))
                fail(QStringLiteral("the file ends inside a character of %1").arg(m_encoding));
        }
    }
    if (m_decoder->hasError())
        fail(QStringLiteral("the file holds bytes that are not %1").arg(m_encoding));
    m_text.remove(0, m_pos);
    m_pos = 0;
    m_text += piece;
    return true;
}

bool CsvReader::nextRow(QStringList* cells)
{
    cells->clear();
    // Skip nothing: the end of the text is the end of the rows.
    if (m_pos >= m_text.size() && !fill())
        return false;
    if (m_pos >= m_text.size() && m_atEnd)
        return false;
    QString field;
    bool quoted = false, wasQuoted = false;
    for (;;) {
        if (m_pos >= m_text.size()) {
            if (!fill() || (m_pos >= m_text.size() && m_atEnd)) {
                if (quoted)
                    fail(QStringLiteral("a quoted field is not closed"));
                cells->append(field);
                return true;
            }
            continue;
        }
        const QChar c = m_text[m_pos++];
        if (quoted) {
            if (c == u'"') {
                if (m_pos >= m_text.size())
                    fill();
                if (m_pos < m_text.size() && m_text[m_pos] == u'"') {
                    field += u'"';
                    ++m_pos;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == m_separator) {
            cells->append(field);
            field.clear();
            wasQuoted = false;
            if (cells->size() > kMaxFields)
                fail(QStringLiteral("a line has more than %1 fields").arg(kMaxFields));
        } else if (c == u'\n' || c == u'\r') {
            if (c == u'\r') {
                if (m_pos >= m_text.size())
                    fill();
                if (m_pos < m_text.size() && m_text[m_pos] == u'\n')
                    ++m_pos;
            }
            cells->append(field);
            return true;
        } else if (c == u'"' && field.isEmpty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else {
            field += c;
        }
        if (field.size() > kMaxFieldChars)
            fail(QStringLiteral("a field is too long"));
    }
}
