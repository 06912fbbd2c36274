#include "ops/customers/xlsxreader.h"

#include "ops/customers/partxml.h"

#include <QDir>
#include <QFile>
#include <QHash>
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
int columnOf(QByteArrayView ref)
{
    int c = 0, letters = 0;
    for (char u : ref) {
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

bool digitsOnly(QByteArrayView s)
{
    const qsizetype from = s.startsWith('-') ? 1 : 0;
    if (s.size() <= from)
        return false;
    for (qsizetype i = from; i < s.size(); ++i)
        if (s[i] < '0' || s[i] > '9')
            return false;
    return true;
}

const QString kEmpty = QStringLiteral("");

} // namespace

// One part of the package as XML, inflated a piece at a time as the XML reader asks for more.
class XlsxReader::Part
{
public:
    Part(void* zip, quint64 declared)
        : xml([this](char* into, qsizetype size) { return feed(into, size); }), m_zip(zip), m_declared(declared)
    {
    }
    ~Part()
    {
        if (!m_closed)
            unzCloseCurrentFile(zipOf(m_zip));
    }
    Part(const Part&) = delete;
    Part& operator=(const Part&) = delete;

    // The text of the element just started, up to its end: its own text for <v>, the text of its
    // runs (<t>) for a string (<si>, <is>), where a phonetic reading (<rPh>) is no part of it.
    void text(QString* to)
    {
        const int depth = xml.depth();
        const qsizetype from = to->size();
        int phonetic = 0;
        bool own = xml.isNamed("t") || xml.isNamed("v");
        for (;;) {
            const PartXml::Token t = xml.next();
            if (t == PartXml::Characters) {
                if (own && !phonetic)
                    xml.appendText(to);
            } else if (t == PartXml::StartElement) {
                if (xml.isNamed("rPh") && !phonetic)
                    phonetic = xml.depth();
                own = xml.isNamed("t");
            } else if (t == PartXml::EndElement) {
                if (xml.depth() < depth)
                    return;
                if (xml.depth() < phonetic)
                    phonetic = 0;
                own = false;
            } else {
                fail(QStringLiteral("the workbook's XML ends inside an element"));
            }
            if (to->size() - from > kMaxCellChars)
                fail(QStringLiteral("a cell of the workbook is too long"));
        }
    }

    // Reads on to the end of the element just started.
    void skip()
    {
        const int depth = xml.depth();
        for (;;) {
            const PartXml::Token t = xml.next();
            if (t == PartXml::EndElement && xml.depth() < depth)
                return;
            if (t == PartXml::EndDocument)
                fail(QStringLiteral("the workbook's XML ends inside an element"));
        }
    }

    PartXml xml;

private:
    qsizetype feed(char* into, qsizetype size)
    {
        if (m_eof)
            return 0;
        const int n = unzReadCurrentFile(zipOf(m_zip), into, unsigned(std::min<qsizetype>(size, kChunk * 16)));
        if (n < 0)
            fail(QStringLiteral("the workbook's package is damaged (%1)").arg(n));
        if (n == 0) {
            m_eof = true;
            m_closed = true;
            if (unzCloseCurrentFile(zipOf(m_zip)) != UNZ_OK) // the checksum
                fail(QStringLiteral("the workbook's package is damaged"));
            return 0;
        }
        m_read += quint64(n);
        if (m_read > m_declared)
            fail(QStringLiteral("a part of the workbook's package is larger than it says"));
        return n;
    }

    void* m_zip;
    quint64 m_declared;
    quint64 m_read = 0;
    bool m_eof = false;
    bool m_closed = false;
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
        for (auto t = p->xml.next(); t != PartXml::EndDocument; t = p->xml.next()) {
            if (t != PartXml::StartElement)
                continue;
            if (p->xml.isNamed("workbookPr")) {
                const auto v = p->xml.attribute("date1904");
                m_1904 = v == "1" || v == "true";
            } else if (p->xml.isNamed("sheet")) {
                entries.append({p->xml.attributeText("name"), p->xml.attributeText("id")});
            }
        }
    }
    QHash<QString, QString> targets;
    if (auto p = openPart(QStringLiteral("xl/_rels/workbook.xml.rels"), true)) {
        for (auto t = p->xml.next(); t != PartXml::EndDocument; t = p->xml.next())
            if (t == PartXml::StartElement && p->xml.isNamed("Relationship")) {
                QString target = p->xml.attributeText("Target");
                target = target.startsWith(u'/') ? target.mid(1) : QStringLiteral("xl/") + target;
                targets.insert(p->xml.attributeText("Id"), QDir::cleanPath(target));
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
    for (auto t = p->xml.next(); t != PartXml::EndDocument; t = p->xml.next()) {
        if (t != PartXml::StartElement || !p->xml.isNamed("si"))
            continue;
        p->text(&m_strings);
        if (m_strings.size() > kMaxStringChars)
            fail(QStringLiteral("the workbook's shared strings are too long"));
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
    for (auto t = p->xml.next(); t != PartXml::EndDocument; t = p->xml.next()) {
        if (t == PartXml::EndElement && p->xml.isNamed("cellXfs"))
            inCellXfs = false;
        if (t != PartXml::StartElement)
            continue;
        if (p->xml.isNamed("numFmt"))
            custom.insert(p->xml.attribute("numFmtId").toInt(), kindOfFormat(p->xml.attributeText("formatCode")));
        else if (p->xml.isNamed("cellXfs"))
            inCellXfs = true;
        else if (p->xml.isNamed("xf") && inCellXfs && formats.size() < 65536)
            formats.append(p->xml.attribute("numFmtId").toInt());
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
    if (m_aheadNumber == 0) {
        if (!readRow(&m_ahead, &m_aheadNumber, &m_aheadWidth))
            return false;
        m_aheadSkipped = false;
    }
    // A row the XML leaves out is an empty row.
    if (m_aheadNumber > m_next) {
        cells->clear();
    } else {
        if (m_aheadSkipped)
            fail(QStringLiteral("a row read for its width only is wanted whole"));
        *cells = std::exchange(m_ahead, {}), m_aheadNumber = 0;
    }
    ++m_next;
    return true;
}

bool XlsxReader::skipRow(int* width)
{
    if (!m_sheet)
        fail(QStringLiteral("no sheet is being read"));
    if (m_aheadNumber == 0) {
        if (!readRow(nullptr, &m_aheadNumber, &m_aheadWidth))
            return false;
        m_aheadSkipped = true;
    }
    if (m_aheadNumber > m_next) {
        *width = 0;
    } else {
        *width = m_aheadWidth;
        m_ahead.clear();
        m_aheadNumber = 0;
    }
    ++m_next;
    return true;
}

// The next row in the XML, its number and width; its cells too unless `cells` is null (they
// are checked all the same).
bool XlsxReader::readRow(QStringList* cells, int* number, int* width)
{
    Part& p = *m_sheet;
    PartXml& x = p.xml;
    PartXml::Token t = x.next();
    while (t != PartXml::EndDocument && !(t == PartXml::StartElement && x.isNamed("row")))
        t = x.next();
    if (t == PartXml::EndDocument)
        return false;
    bool ok = true;
    const QByteArrayView r = x.attribute("r");
    const int n = r.isEmpty() ? m_next : r.toInt(&ok);
    if (!ok || n < m_next || n > kMaxRows)
        fail(QStringLiteral("the sheet's rows are out of order"));
    *number = n;
    *width = 0;
    if (cells)
        cells->clear();
    const int rowDepth = x.depth();
    int column = -1;
    for (;;) {
        t = x.next();
        if (t == PartXml::EndElement && x.depth() < rowDepth)
            break;
        if (t == PartXml::EndDocument)
            fail(QStringLiteral("the sheet ends inside a row"));
        if (t != PartXml::StartElement || !x.isNamed("c"))
            continue;
        const int at = columnOf(x.attribute("r"));
        column = at >= 0 ? at : column + 1;
        if (column >= kMaxColumns)
            fail(QStringLiteral("the sheet is wider than %1 columns").arg(kMaxColumns));
        const CellType type = cellType(x.attribute("t"));
        const int style = x.attribute("s").toInt();
        // The value as written: the digits of a number or of a string's index, or the text.
        m_value.clear();
        QString inlineText;
        const int cellDepth = x.depth();
        for (;;) {
            t = x.next();
            if (t == PartXml::EndElement && x.depth() < cellDepth)
                break;
            if (t == PartXml::EndDocument)
                fail(QStringLiteral("the sheet ends inside a cell"));
            if (t != PartXml::StartElement)
                continue;
            if (x.isNamed("v")) {
                m_value.clear();
                for (t = x.next(); t == PartXml::Characters; t = x.next()) {
                    if (x.textHasReferences()) {
                        QString decoded;
                        x.appendText(&decoded);
                        m_value += decoded.toStdString();
                    } else {
                        m_value.append(x.rawText().data(), size_t(x.rawText().size()));
                    }
                    if (qsizetype(m_value.size()) > kMaxCellChars * 3)
                        fail(QStringLiteral("a cell of the workbook is too long"));
                }
                if (t != PartXml::EndElement)
                    fail(QStringLiteral("a cell's value holds an element"));
            } else if (x.isNamed("is")) {
                inlineText.clear();
                p.text(&inlineText);
            } else {
                p.skip(); // a formula is not what the cell shows
            }
        }
        *width = std::max(*width, column + 1);
        if (!cells) {
            cellValue(type, style, inlineText, false);
            continue;
        }
        while (cells->size() <= column)
            cells->append(kEmpty);
        (*cells)[column] = cellValue(type, style, inlineText);
    }
    return true;
}

XlsxReader::CellType XlsxReader::cellType(QByteArrayView t)
{
    if (t.isEmpty() || PartXml::equals(t, "n"))
        return CellType::Number;
    if (PartXml::equals(t, "s"))
        return CellType::Shared;
    if (PartXml::equals(t, "inlineStr"))
        return CellType::Inline;
    if (PartXml::equals(t, "e"))
        return CellType::Error;
    return CellType::Text; // str (a formula's text), b (0 or 1), d (a date as text)
}

QString XlsxReader::cellValue(CellType type, int style, const QString& inlineText, bool wanted) const
{
    const QByteArrayView value(m_value.data(), qsizetype(m_value.size()));
    switch (type) {
    case CellType::Shared: {
        bool ok = false;
        const qlonglong i = value.trimmed().toLongLong(&ok);
        if (!ok || i < 0 || i >= m_stringEnds.size())
            fail(QStringLiteral("a cell refers to shared string %1, which is not there")
                     .arg(QString::fromUtf8(value.first(std::min<qsizetype>(32, value.size())))));
        if (!wanted)
            return {};
        const qsizetype from = i == 0 ? 0 : m_stringEnds[i - 1];
        return m_strings.mid(from, m_stringEnds[i] - from);
    }
    case CellType::Inline:
        return inlineText;
    case CellType::Text:
        return wanted ? QString::fromUtf8(value) : QString();
    case CellType::Error: // an error value is empty, as in the .xls
        return kEmpty;
    case CellType::Number:
        break;
    }
    if (value.isEmpty())
        return kEmpty;
    const biff::DateKind kind = m_styleKinds.value(style, biff::DateKind::Plain);
    // Digits stay as they are written, however many there are (a phone number).
    if (kind == biff::DateKind::Plain && digitsOnly(value))
        return wanted ? QString::fromLatin1(value) : QString();
    bool ok = false;
    const double d = value.trimmed().toDouble(&ok);
    if (!ok)
        fail(QStringLiteral("a number cell holds '%1'")
                 .arg(QString::fromUtf8(value.first(std::min<qsizetype>(32, value.size())))));
    return wanted ? biff::valueText(kind, d, m_1904) : QString();
}
