#pragma once

#include "text/TextFile.h"

#include <QByteArray>
#include <QString>

namespace tess::harvest {

// Every row harvested since Start, kept in the scratch file beside the
// program while the on-screen list is capped at about a hundred rows. Each
// page's rows are flushed as soon as the page is harvested, so a crash
// loses nothing; Save results copies the whole file.
//
// One row a line: the address, a TAB, the link text; GBK, CR LF. Line
// breaks and TABs inside a link text become blanks.
class ResultsLog final {
public:
    explicit ResultsLog(const QString& path);
    ~ResultsLog();
    ResultsLog(const ResultsLog&) = delete;
    ResultsLog& operator=(const ResultsLog&) = delete;

    const QString& path() const { return m_path; }

    // Starts an empty log (a new run).
    void restart();
    void append(const QByteArray& address, const QByteArray& linkText);
    // Puts the rows appended so far on disk.
    void flush();
    qint64 rowCount() const { return m_rows; }
    // The rows as the saved-results file holds them. Throws when the log
    // could not keep every row.
    QByteArray contents();
    // Closes and deletes the scratch file (program exit).
    void remove();

    static QByteArray formatRow(const QByteArray& address, const QByteArray& linkText);

private:
    bool ensureOpen();

    QString m_path;
    text::FileDescriptor m_file;
    QByteArray m_unwritten; // rows appended since the last flush
    qint64 m_rows = 0;
    bool m_broken = false; // a row could not be written
};

} // namespace tess::harvest
