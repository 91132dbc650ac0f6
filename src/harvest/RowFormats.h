#pragma once

#include "harvest/HarvestedRow.h"

#include <QByteArray>
#include <QLatin1StringView>
#include <QList>
#include <QString>

#include <optional>
#include <variant>

namespace tess::harvest {

// The layouts harvested rows are saved in, by the window's Save results and
// by the command line alike.
//  - Tsv: the layout files have always had: the columns TAB-separated, no
//    header; GBK, CR LF. TABs and line breaks inside a text become blanks.
//  - Csv: for spreadsheets: UTF-8 with a byte order mark, a header line of
//    the column names, CR LF; a field holding a comma, a quote, CR or LF is
//    quoted, its quotes doubled. A text beginning with = + - @ TAB or CR
//    gets a ' before it (and quotes), so that no spreadsheet takes it for a
//    formula.
//  - Jsonl: one UTF-8 JSON object a line (LF), the column names its keys.
//  - Xlsx: a workbook (WorkbookWriter); never streamed.
enum class RowFormat { Tsv, Csv, Jsonl, Xlsx };

// The columns a saved row may have, in the order of every column.
enum class RowColumn { Keyword, Engine, Page, Rank, Kind, Address, Title, Time };
using RowColumns = QList<RowColumn>;

// "keyword", "engine", ...: the header and key names.
QLatin1StringView rowColumnName(RowColumn column);
RowColumns allRowColumns();
// The columns --columns names ("address,title"); the English error naming
// the first unknown name otherwise.
std::variant<RowColumns, QString> parseRowColumns(const QString& list);
// What a format saves unless told: Tsv the address and the title, and the
// engine third when `withEngine` (a run that asks more than one engine);
// the others every column.
RowColumns defaultRowColumns(RowFormat format, bool withEngine);

// "tsv", "csv", "jsonl" or "xlsx", in any letter case.
std::optional<RowFormat> rowFormatNamed(const QString& name);
// By the file name's extension (.csv, .jsonl, .xlsx, any case); Tsv for any other.
RowFormat rowFormatForFileName(const QString& fileName);

// What goes before the first row: the BOM and header for Csv, nothing else.
QByteArray rowsPreamble(RowFormat format, const RowColumns& columns);
// One row, line end included, for Tsv, Csv and Jsonl.
QByteArray formatRow(RowFormat format, const RowColumns& columns, const HarvestedRow& row);
// A whole file of `rows` in Tsv, Csv or Jsonl, preamble included.
QByteArray formatRows(RowFormat format, const RowColumns& columns, const HarvestedRows& rows);

// Writes rows (Tsv, Csv or Jsonl) to an open file descriptor as they come:
// the preamble first, then each batch of rows when flush() is called (once
// a page), so a reader of the file, or a run stopped at any moment, sees
// whole rows only.
class RowWriter final {
public:
    RowWriter(int fd, RowFormat format, RowColumns columns);

    // Writes the preamble, unless the file already holds something (rows
    // are being added to it). False with errno set when the file refuses it.
    bool begin();
    void append(const HarvestedRow& row);
    // False with errno set when the file refuses the rows; they are then
    // dropped (a regular file is cut back to its size before them, so it
    // ends with a whole row), and every flush after it fails too.
    bool flush();
    qint64 rowCount() const { return m_rows; }
    RowFormat format() const { return m_format; }

private:
    bool writeWhole(const QByteArray& bytes);

    int m_fd;
    RowFormat m_format;
    RowColumns m_columns;
    QByteArray m_pending;
    qint64 m_rows = 0;
    int m_error = 0;
};

} // namespace tess::harvest
