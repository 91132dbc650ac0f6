#pragma once

#include "harvest/HarvestedRow.h"
#include "io/FileDescriptor.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace tess::harvest {

// Every row harvested since the start (搜索), kept in the scratch file beside the
// program while the on-screen list is capped at about a hundred rows. Each
// page's rows are written as soon as the page is harvested, so a crash
// loses nothing: the next start takes the rows over (recover()) and Save
// results can still save them. Should the file refuse a row (a full disk,
// a folder gone read-only), the rows from then on are kept in memory and
// Save results still saves every one.
//
// One row a line, every row with where it came from, so that a crash gives
// all of it back: address, title, engine, keyword, page, rank, kind, time
// (ISO 8601 with the UTC offset), TAB-separated; GBK, CR LF. Line breaks
// and TABs inside a text become blanks; what is not known is empty. Files
// of the earlier layouts (address, title and perhaps the engine) are read
// as well.
class ResultsLog final {
public:
    explicit ResultsLog(const QString& path);
    ~ResultsLog();
    ResultsLog(const ResultsLog&) = delete;
    ResultsLog& operator=(const ResultsLog&) = delete;

    const QString& path() const { return m_path; }

    // Raised once a run, when the scratch file first refuses rows; the
    // message names the file and the reason.
    std::function<void(const QString& message)> onWriteFailure;

    // Takes over the rows a run that never reached the program's exit left
    // in the scratch file (a torn last row is left out); returns how many.
    qint64 recover();
    // Starts an empty log (a new run).
    void restart();
    void append(const HarvestedRow& row);
    // Each row as it is appended, for a writer that passes them on.
    std::function<void(const HarvestedRow& row)> onAppend;
    // Puts the rows appended so far on disk, or in memory when the disk
    // refuses them.
    void flush();
    qint64 rowCount() const { return m_rows; }
    // The rows as the scratch file holds them. Throws when the rows on disk
    // cannot be read back.
    QByteArray contents();
    // The same, read back as rows.
    HarvestedRows rows();
    // Closes and deletes the scratch file (program exit).
    void remove();

    static QByteArray formatRow(const HarvestedRow& row);
    // One line of the scratch file, without its line end; any layout.
    static HarvestedRow parseRow(QByteArrayView line);

private:
    void fail(int error);

    QString m_path;
    io::FileDescriptor m_file;
    QByteArray m_unwritten; // rows appended since the last flush
    QByteArray m_inMemory; // rows the file refused, in order after the ones on disk
    qint64 m_onDisk = 0; // bytes of whole rows in the file
    qint64 m_rows = 0;
    bool m_failed = false; // the file refused rows in this run
};

} // namespace tess::harvest
