#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace tess::harvest {

// The layouts harvested rows are saved in, by the window's Save results and
// by the command line alike.
//  - Tsv: the scratch file's own layout (ResultsLog::formatRow): address,
//    TAB, link text; GBK, CR LF, no header.
//  - Csv: for spreadsheets: UTF-8 with a byte order mark, a header line
//    "address,title", CR LF; a field holding a comma, a quote, CR or LF is
//    quoted, its quotes doubled. Link texts keep their line breaks.
// Rows of a run that asks more than one engine have a third column, the
// engine's rule set name ("engine" in the Csv header).
enum class RowFormat { Tsv, Csv };

// "tsv" or "csv", in any letter case.
std::optional<RowFormat> rowFormatNamed(const QString& name);
// Csv for a file name ending in ".csv" (any case), else Tsv.
RowFormat rowFormatForFileName(const QString& fileName);

// What goes before the first row: the BOM and header for Csv, nothing for Tsv.
QByteArray rowsPreamble(RowFormat format, bool withEngine = false);
// One row; address and link text are GBK, as the run harvests them. An
// empty `engine` makes no engine column.
QByteArray formatRow(
    RowFormat format, const QByteArray& address, const QByteArray& linkText, const QByteArray& engine = {});
// A whole Tsv file (ResultsLog::contents()) in `format`, preamble included.
// A line without a TAB is an address without a link text; a line with a
// second TAB has an engine column, and then the Csv has one for every row.
QByteArray convertTsvRows(const QByteArray& tsv, RowFormat format);

// Writes rows to an open file descriptor as they come: the preamble first,
// then each batch of rows when flush() is called (once a page), so a reader
// of the file, or a run stopped at any moment, sees whole rows only.
class RowWriter final {
public:
    // `withEngine`: every row has the engine column.
    RowWriter(int fd, RowFormat format, bool withEngine = false);

    // Writes the preamble, unless the file already holds something (rows
    // are being added to it). False with errno set when the file refuses it.
    bool begin();
    void append(const QByteArray& address, const QByteArray& linkText, const QByteArray& engine = {});
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
    bool m_withEngine;
    QByteArray m_pending;
    qint64 m_rows = 0;
    int m_error = 0;
};

} // namespace tess::harvest
