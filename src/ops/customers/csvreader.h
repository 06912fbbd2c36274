#pragma once

#include "ops/customers/sheetreader.h"

#include <QFile>
#include <QStringDecoder>
#include <memory>

// Reads a .csv list as one sheet named after the file. Fields are separated by commas, or by
// semicolons or tabs when the header line has more of those; a quoted field may hold the
// separator, line breaks and doubled quotes. The text encoding comes from the byte-order mark,
// else it is UTF-8 when the whole file is valid UTF-8, else GB18030; it can be set to another
// before a sheet is selected. The file is read as a stream; an unclosed quote or bytes that are
// not valid in the encoding throw XlsError.
class CsvReader : public StreamedSheetReader
{
public:
    CsvReader() = default;
    ~CsvReader() override;
    CsvReader(const CsvReader&) = delete;
    CsvReader& operator=(const CsvReader&) = delete;

    void open(const QString& path) override;
    void close() override;
    bool isOpen() const override { return !m_path.isEmpty(); }

    // The encodings a list can be read in, as the window names them.
    static QStringList encodings();
    // The encoding the file is read in: the one found on opening, or the one set.
    QString encoding() const { return m_encoding; }
    void setEncoding(const QString& name);

protected:
    void startRows(int sheet) override;
    bool nextRow(QStringList* cells) override;
    void endRows() override;

private:
    bool fill();
    bool parseRow(QStringList* cells, bool last);
    QString m_path;
    QString m_encoding;
    bool m_bigEndian = false; // UTF-16 with a mark that says so
    QChar m_separator = u',';
    // While rows are read: the file, its decoder, and the decoded text not yet parsed.
    std::unique_ptr<QFile> m_file;
    std::unique_ptr<QStringDecoder> m_decoder;
    QString m_text;
    qsizetype m_pos = 0;
    bool m_atEnd = false;
};
