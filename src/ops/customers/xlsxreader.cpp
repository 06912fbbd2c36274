#include "ops/customers/xlsxreader.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QXmlStreamReader>
#include <unzip.h>

namespace {

constexpr int kChunk = 64 * 1024;
constexpr int kMaxEntries = 10000;
constexpr int kMaxColumns = 16384; // XFD, as far as Excel goes
constexpr int kMaxRows = 1048576;
constexpr qsizetype kMaxStrings = 16 * 1024 * 1024;
constexpr qsizetype kMaxStringChars = 128 * 1024 * 1024;
constexpr qsizetype kMaxCellChars = 1024 * 1024;
constexpr quint64 kRatioFrom = 1024 * 1024; // smaller parts may compress as well as they like

[[noreturn]] void fail(const QString& text)
{
    throw XlsError(text);
}

unzFile zipOf(void* z)
{
    return static_cast<unzFile>(z);
}

// Letters and symbols of a format, outside its quoted texts and [bracketed] parts, decide
// whether its numbers are dates or times.
biff::DateKind kindOfFormat(const QString& format)
{
    int y = 0, m = 0, d = 0, h = 0, s = 0;
    bool quoted = false, bracket = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (quoted) {
            quoted = c != u'"';
            continue;
        }
        if (bracket) {
            bracket = c != u']';
            continue;
        }
        if (c == u'"') {
            quoted = true;
            continue;
        }
        if (c == u'[') {
            bracket = true;
            continue;
        }
        if (c == u'\\' || c == u'_' || c == u'*') { // the next character is shown as it is
            ++i;
            continue;
        }
        switch (c.toLower().unicode()) {
        case 'y':
            ++y;
            break;
        case 'm':
            ++m;
            break;
        case 'd':
            ++d;
            break;
        case 'h':
            ++h;
            break;
        case 's':
            ++s;
            break;
        default:
            break;
        }
    }
    if (y && m && d && h)
        return biff::DateKind::DateTime;
    if ((y && m) || (m && d))
        return biff::DateKind::Date;
    if ((h && m) || (m && s))
        return biff::DateKind::Time;
    return biff::DateKind::Plain;
}

biff::DateKind kindOfBuiltIn(int id)
{
    if (id >= 14 && id <= 17)
        return biff::DateKind::Date;
    if ((id >= 18 && id <= 21) || (id >= 45 && id <= 47))
        return biff::DateKind::Time;
    if (id == 22)
        return biff::DateKind::DateTime;
    return biff::DateKind::Plain;
}

// A cell reference's column ("C7" -> 2), or -1 when it has no letters.
int columnOf(QStringView ref)
{
    int c = 0, letters = 0;
    for (QChar ch : ref) {
        const char16_t u = ch.unicode();
        if (u >= 'A' && u <= 'Z')
            c = c * 26 + (u - 'A' + 1);
        else if (u >= 'a' && u <= 'z')
            c = c * 26 + (u - 'a' + 1);
        else
            break;
        if (++letters > 3)
            fail(QStringLiteral("the sheet is wider than %1 columns").arg(kMaxColumns));
    }
    return letters == 0 ? -1 : c - 1;
}

bool digitsOnly(const QString& s)
{
    const qsizetype from = s.startsWith(u'-') ? 1 : 0;
    if (s.size() <= from)
        return false;
    for (qsizetype i = from; i < s.size(); ++i)
        if (!s[i].isDigit() || s[i].unicode() > '9')
            return false;
    return true;
}

} // namespace

// One part of the package as XML, fed to the reader in pieces as it is inflated.
class XlsxReader::Part
{
public:
    Part(void* zip, quint64 declared) : m_zip(zip), m_declared(declared) {}
    ~Part()
    {
        if (!m_closed)
            unzCloseCurrentFile(zipOf(m_zip));
    }
    Part(const Part&) = delete;
    Part& operator=(const Part&) = delete;

    // The next token; throws when the part is damaged, is not well-formed XML or declares a
    // document type (entities are how XML is made to expand without end).
    QXmlStreamReader::TokenType next()
    {
        for (;;) {
            if (m_started && m_depth == 0)
                return QXmlStreamReader::EndDocument;
            const QXmlStreamReader::TokenType t = xml.readNext();
            if (t == QXmlStreamReader::Invalid) {
                if (xml.error() == QXmlStreamReader::PrematureEndOfDocumentError && !m_eof) {
                    feed();
                    continue;
                }
                fail(QStringLiteral("the workbook's XML is not well formed: %1").arg(xml.errorString()));
            }
            if (t == QXmlStreamReader::DTD || t == QXmlStreamReader::EntityReference)
                fail(QStringLiteral("the workbook's XML declares a document type"));
            if (t == QXmlStreamReader::StartElement) {
                m_started = true;
                ++m_depth;
            } else if (t == QXmlStreamReader::EndElement) {
                --m_depth;
            } else if (t == QXmlStreamReader::EndDocument) {
                return t;
            }
            return t;
        }
    }

    // The text up to the end of the element just started (its children's texts included).
    QString text()
    {
        QString s;
        for (int depth = 1; depth > 0;) {
            const auto t = next();
            if (t == QXmlStreamReader::StartElement)
                ++depth;
            else if (t == QXmlStreamReader::EndElement)
                --depth;
            else if (t == QXmlStreamReader::Characters)
                s += xml.text();
            else if (t == QXmlStreamReader::EndDocument)
                fail(QStringLiteral("the workbook's XML ends inside an element"));
            if (s.size() > kMaxCellChars)
                fail(QStringLiteral("a cell of the workbook is too long"));
        }
        return s;
    }

    QXmlStreamReader xml;

private:
    void feed()
    {
        QByteArray buf(kChunk, Qt::Uninitialized);
        const int n = unzReadCurrentFile(zipOf(m_zip), buf.data(), kChunk);
        if (n < 0)
            fail(QStringLiteral("the workbook's package is damaged (%1)").arg(n));
        if (n == 0) {
            m_eof = true;
            m_closed = true;
            if (unzCloseCurrentFile(zipOf(m_zip)) != UNZ_OK) // the checksum
                fail(QStringLiteral("the workbook's package is damaged"));
            return;
        }
        m_read += quint64(n);
        if (m_read > m_declared)
            fail(QStringLiteral("a part of the workbook's package is larger than it says"));
        buf.truncate(n);
        xml.addData(buf);
    }

    void* m_zip;
    quint64 m_declared;
    quint64 m_read = 0;
    bool m_eof = false;
    bool m_closed = false;
    bool m_started = false;
    int m_depth = 0;
};

XlsxReader::XlsxReader() = default;

XlsxReader::~XlsxReader()
{
    close();
}

void XlsxReader::close()
{
    resetSheet();
    m_sheet.reset();
    if (m_zip)
        unzClose(zipOf(m_zip));
    m_zip = nullptr;
    m_sheets.clear();
    m_parts.clear();
    m_strings.clear();
    m_stringEnds.clear();
    m_styleKinds.clear();
    m_1904 = false;
}

void XlsxReader::open(const QString& path)
{
    close();
    m_zip = unzOpen64(QFile::encodeName(path).constData());
    if (!m_zip)
        fail(QStringLiteral("%1 is no zip package or is damaged").arg(path));
    try {
        checkSizes();
        readWorkbook();
        readSharedStrings();
        readStyles();
    } catch (...) {
        close();
        throw;
    }
}

void XlsxReader::checkSizes()
{
    unz_global_info64 global;
    if (unzGetGlobalInfo64(zipOf(m_zip), &global) != UNZ_OK || global.number_entry > quint64(kMaxEntries))
        fail(QStringLiteral("the zip package's directory is damaged or too large"));
    quint64 total = 0;
    int rc = unzGoToFirstFile(zipOf(m_zip));
    for (; rc == UNZ_OK; rc = unzGoToNextFile(zipOf(m_zip))) {
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(zipOf(m_zip), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            fail(QStringLiteral("the zip package's directory is damaged"));
        if (info.flag & 1)
            fail(QStringLiteral("the workbook is encrypted"));
        total += info.uncompressed_size;
        if (info.uncompressed_size > kMaxExpanded || total > kMaxExpanded)
            fail(QStringLiteral("the workbook's package expands past %1 bytes").arg(kMaxExpanded));
        if (info.uncompressed_size > kRatioFrom &&
            info.uncompressed_size / std::max<quint64>(info.compressed_size, 1) > kMaxRatio)
            fail(QStringLiteral("a part of the workbook's package expands more than %1 times").arg(kMaxRatio));
    }
    if (rc != UNZ_END_OF_LIST_OF_FILE)
        fail(QStringLiteral("the zip package's directory is damaged"));
}

std::unique_ptr<XlsxReader::Part> XlsxReader::openPart(const QString& name, bool required)
{
    m_sheet.reset(); // one part is read at a time
    if (unzLocateFile(zipOf(m_zip), name.toUtf8().constData(), 0) != UNZ_OK) {
        if (required)
            fail(QStringLiteral("the workbook has no part %1").arg(name));
        return nullptr;
    }
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(zipOf(m_zip), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK ||
        unzOpenCurrentFile(zipOf(m_zip)) != UNZ_OK)
        fail(QStringLiteral("the workbook's part %1 is damaged").arg(name));
    return std::make_unique<Part>(m_zip, info.uncompressed_size);
}

void XlsxReader::readWorkbook()
{
    struct Entry
    {
        QString name, rel;
    };
    QVector<Entry> entries;
    {
        auto p = openPart(QStringLiteral("xl/workbook.xml"), true);
        for (auto t = p->next(); t != QXmlStreamReader::EndDocument; t = p->next()) {
            if (t != QXmlStreamReader::StartElement)
                continue;
            const auto a = p->xml.attributes();
            if (p->xml.name() == u"workbookPr") {
                const auto v = a.value(QLatin1String("date1904"));
                m_1904 = v == u"1" || v == u"true";
            } else if (p->xml.name() == u"sheet") {
                QString rel;
                for (const auto& at : a)
                    if (at.name() == u"id")
                        rel = at.value().toString();
                entries.append({a.value(QLatin1String("name")).toString(), rel});
            }
        }
    }
    QHash<QString, QString> targets;
    if (auto p = openPart(QStringLiteral("xl/_rels/workbook.xml.rels"), true)) {
        for (auto t = p->next(); t != QXmlStreamReader::EndDocument; t = p->next())
            if (t == QXmlStreamReader::StartElement && p->xml.name() == u"Relationship") {
                QString target = p->xml.attributes().value(QLatin1String("Target")).toString();
                target = target.startsWith(u'/') ? target.mid(1) : QStringLiteral("xl/") + target;
                targets.insert(p->xml.attributes().value(QLatin1String("Id")).toString(), QDir::cleanPath(target));
            }
    }
    for (const Entry& e : entries) {
        const QString part = targets.value(e.rel);
        if (part.isEmpty())
            fail(QStringLiteral("the sheet %1 has no part").arg(e.name));
        m_sheets << e.name;
        m_parts << part;
    }
    if (m_sheets.isEmpty())
        fail(QStringLiteral("workbook has no sheets"));
}

void XlsxReader::readSharedStrings()
{
    auto p = openPart(QStringLiteral("xl/sharedStrings.xml"), false);
    if (!p)
        return;
    for (auto t = p->next(); t != QXmlStreamReader::EndDocument; t = p->next()) {
        if (t != QXmlStreamReader::StartElement || p->xml.name() != u"si")
            continue;
        // The plain text of the runs; a phonetic reading (rPh) is no part of it.
        for (int depth = 1, phonetic = 0; depth > 0;) {
            t = p->next();
            if (t == QXmlStreamReader::StartElement) {
                ++depth;
                if (p->xml.name() == u"rPh")
                    phonetic = depth;
                else if (p->xml.name() == u"t" && !phonetic)
                    m_strings += p->text(), --depth;
            } else if (t == QXmlStreamReader::EndElement) {
                if (depth == phonetic)
                    phonetic = 0;
                --depth;
            } else if (t == QXmlStreamReader::EndDocument) {
                fail(QStringLiteral("the shared strings end inside a string"));
            }
            if (m_strings.size() > kMaxStringChars)
                fail(QStringLiteral("the workbook's shared strings are too long"));
        }
        m_stringEnds.append(quint32(m_strings.size()));
        if (m_stringEnds.size() > kMaxStrings)
            fail(QStringLiteral("the workbook has too many shared strings"));
    }
    // Held for as long as the workbook is open: no room to grow into.
    m_strings.squeeze();
    m_stringEnds.squeeze();
}

void XlsxReader::readStyles()
{
    auto p = openPart(QStringLiteral("xl/styles.xml"), false);
    if (!p)
        return;
    QHash<int, biff::DateKind> custom;
    QVector<int> formats;
    bool inCellXfs = false;
    for (auto t = p->next(); t != QXmlStreamReader::EndDocument; t = p->next()) {
        if (t == QXmlStreamReader::EndElement && p->xml.name() == u"cellXfs")
            inCellXfs = false;
        if (t != QXmlStreamReader::StartElement)
            continue;
        const auto a = p->xml.attributes();
        if (p->xml.name() == u"numFmt")
            custom.insert(a.value(QLatin1String("numFmtId")).toInt(),
                          kindOfFormat(a.value(QLatin1String("formatCode")).toString()));
        else if (p->xml.name() == u"cellXfs")
            inCellXfs = true;
        else if (p->xml.name() == u"xf" && inCellXfs && formats.size() < 65536)
            formats.append(a.value(QLatin1String("numFmtId")).toInt());
    }
    for (int id : formats)
        m_styleKinds.append(custom.contains(id) ? custom.value(id) : kindOfBuiltIn(id));
}

void XlsxReader::startRows(int sheet)
{
    m_sheet = openPart(m_parts.value(sheet), true);
    m_next = 1;
    m_ahead.clear();
    m_aheadNumber = 0;
}

void XlsxReader::endRows()
{
    m_sheet.reset();
}

bool XlsxReader::nextRow(QStringList* cells)
{
    if (!m_sheet)
        fail(QStringLiteral("no sheet is being read"));
    if (m_aheadNumber == 0 && !readRow(&m_ahead, &m_aheadNumber))
        return false;
    // A row the XML leaves out is an empty row.
    if (m_aheadNumber > m_next)
        cells->clear();
    else
        *cells = std::exchange(m_ahead, {}), m_aheadNumber = 0;
    ++m_next;
    return true;
}

bool XlsxReader::readRow(QStringList* cells, int* number)
{
    Part& p = *m_sheet;
    auto t = p.next();
    while (t != QXmlStreamReader::EndDocument && !(t == QXmlStreamReader::StartElement && p.xml.name() == u"row"))
        t = p.next();
    if (t == QXmlStreamReader::EndDocument)
        return false;
    bool ok = true;
    const auto r = p.xml.attributes().value(QLatin1String("r"));
    const int n = r.isEmpty() ? m_next : r.toInt(&ok);
    if (!ok || n < m_next || n > kMaxRows)
        fail(QStringLiteral("the sheet's rows are out of order"));
    *number = n;
    cells->clear();
    int column = -1;
    for (t = p.next(); !(t == QXmlStreamReader::EndElement && p.xml.name() == u"row"); t = p.next()) {
        if (t == QXmlStreamReader::EndDocument)
            fail(QStringLiteral("the sheet ends inside a row"));
        if (t != QXmlStreamReader::StartElement || p.xml.name() != u"c")
            continue;
        const auto a = p.xml.attributes();
        const int at = columnOf(a.value(QLatin1String("r")));
        column = at >= 0 ? at : column + 1;
        if (column >= kMaxColumns)
            fail(QStringLiteral("the sheet is wider than %1 columns").arg(kMaxColumns));
        const QString type = a.value(QLatin1String("t")).toString();
        const int style = a.value(QLatin1String("s")).toInt();
        QString value;
        for (t = p.next(); !(t == QXmlStreamReader::EndElement && p.xml.name() == u"c"); t = p.next()) {
            if (t == QXmlStreamReader::EndDocument)
                fail(QStringLiteral("the sheet ends inside a cell"));
            if (t != QXmlStreamReader::StartElement)
                continue;
            if (p.xml.name() == u"v" || p.xml.name() == u"is")
                value = p.text();
            else if (p.xml.name() == u"f")
                p.text(); // the formula itself is not what the cell shows
        }
        while (cells->size() <= column)
            cells->append(QStringLiteral(""));
        (*cells)[column] = cellValue(type, style, value);
    }
    return true;
}

QString XlsxReader::cellValue(QStringView type, int style, const QString& value) const
{
    if (type == u"s") {
        bool ok = false;
        const qlonglong i = value.toLongLong(&ok);
        if (!ok || i < 0 || i >= m_stringEnds.size())
            fail(QStringLiteral("a cell refers to shared string %1, which is not there").arg(value));
        const qsizetype from = i == 0 ? 0 : m_stringEnds[i - 1];
        return m_strings.mid(from, m_stringEnds[i] - from);
    }
    if (type == u"inlineStr" || type == u"str" || type == u"b" || type == u"d")
        return value;
    if (type == u"e") // an error value is empty, as in the .xls
        return QStringLiteral("");
    if (value.isEmpty())
        return QStringLiteral("");
    const biff::DateKind kind = m_styleKinds.value(style, biff::DateKind::Plain);
    // Digits stay as they are written, however many there are (a phone number).
    if (kind == biff::DateKind::Plain && digitsOnly(value))
        return value;
    bool ok = false;
    const double d = value.toDouble(&ok);
    if (!ok)
        fail(QStringLiteral("a number cell holds '%1'").arg(value));
    return biff::valueText(kind, d, m_1904);
}
