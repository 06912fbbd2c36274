#include "ops/customers/csvreader.h"

#include <QFileInfo>

namespace {

constexpr qint64 kChunk = 64 * 1024;
constexpr qsizetype kMaxFieldChars = 1024 * 1024;
constexpr qsizetype kMaxFields = 16384;
constexpr qsizetype kMaxRowChars = 16 * 1024 * 1024;

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
    while (m_pos >= m_text.size())
        if (!fill())
            return false;
    // A row is parsed from the text decoded so far; one that runs past it is parsed again when
    // more is there (rows are short: this is rare and cheap).
    bool last = false;
    while (!parseRow(cells, last)) {
        if (m_text.size() - m_pos > kMaxRowChars)
            fail(QStringLiteral("a line is too long"));
        if (!fill())
            last = true;
    }
    return true;
}

// Parses the row at m_pos into cells; false when the text decoded so far ends inside it (unless
// it is the last, which then ends with the file).
bool CsvReader::parseRow(QStringList* cells, bool last)
{
    cells->clear();
    const QChar* d = m_text.constData();
    const qsizetype n = m_text.size();
    const char16_t sep = m_separator.unicode();
    qsizetype i = m_pos;
    for (;;) {
        QString field;
        if (i < n && d[i] == u'"') {
            // Quoted: separators and line breaks belong to the field, "" is one quote.
            ++i;
            for (;;) {
                const qsizetype q = m_text.indexOf(u'"', i);
                if (q < 0) {
                    if (last)
                        fail(QStringLiteral("a quoted field is not closed"));
                    return false;
                }
                field.append(d + i, q - i);
                if (q + 1 >= n && !last)
                    return false; // a doubled quote may be cut in two
                if (q + 1 < n && d[q + 1] == u'"') {
                    field.append(u'"');
                    i = q + 2;
                } else {
                    i = q + 1;
                    break;
                }
                if (field.size() > kMaxFieldChars)
                    fail(QStringLiteral("a field is too long"));
            }
        }
        // Unquoted, or what follows the closing quote: up to the separator or the line's end.
        qsizetype j = i;
        while (j < n && d[j] != sep && d[j] != u'\n' && d[j] != u'\r')
            ++j;
        if (j == n && !last)
            return false;
        if (field.isEmpty())
            field = m_text.mid(i, j - i);
        else
            field.append(d + i, j - i);
        if (field.size() > kMaxFieldChars)
            fail(QStringLiteral("a field is too long"));
        cells->append(field);
        if (j == n) {
            m_pos = n;
            return true;
        }
        if (d[j] == sep) {
            if (cells->size() > kMaxFields)
                fail(QStringLiteral("a line has more than %1 fields").arg(kMaxFields));
            i = j + 1;
            continue;
        }
        if (d[j] == u'\r') {
            if (j + 1 >= n && !last)
                return false; // its \n may follow
            if (j + 1 < n && d[j + 1] == u'\n')
                ++j;
        }
        m_pos = j + 1;
        return true;
    }
}
