#include "harvest/WorkbookWriter.h"

#include "io/FileDescriptor.h"
#include "io/FileReplace.h"
#include "io/PathName.h"
#include "io/SystemCalls.h"
#include "io/TemporaryFiles.h"
#include "text/Errors.h"
#include "text/Gbk.h"

#include <QDir>
#include <QFileInfo>

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace tess::harvest {
namespace {

// What Excel takes in one sheet: more links, or a longer one, and it calls
// the file damaged.
constexpr int kMaxLinks = 65530;
constexpr qsizetype kMaxLinkLength = 2079;
// A column wider than this only makes the sheet harder to read.
constexpr qsizetype kMaxWidth = 80;

[[noreturn]] void fail(const QString& path, lxw_error error)
{
    throw text::AppError(
        QStringLiteral("Stream write error: %1: %2").arg(path, QString::fromUtf8(lxw_strerror(error))));
}

// The width a column needs. GBK spends two bytes on a CJK character, which
// takes two places on screen: the bytes are the width.
qsizetype contentWidth(RowColumn column, const HarvestedRow& row)
{
    switch (column) {
    case RowColumn::Keyword:
        return row.keyword.size();
    case RowColumn::Engine:
        return row.engine.size();
    case RowColumn::Address:
        return row.address.size();
    case RowColumn::Title:
        return row.title.size();
    case RowColumn::Time:
        return 19;
    default:
        return 6;
    }
}

QList<double> columnWidths(const RowColumns& columns, const HarvestedRows& rows)
{
    QList<double> widths;
    for (const RowColumn column : columns) {
        qsizetype width = rowColumnName(column).size() + 2; // the filter's button
        for (const HarvestedRow& row : rows)
            width = std::max(width, contentWidth(column, row));
        widths.append(static_cast<double>(std::min(width + 1, kMaxWidth)));
    }
    return widths;
}

bool isWebAddress(const QByteArray& address)
{
    return address.startsWith("http://") || address.startsWith("https://");
}

lxw_datetime wallClock(const QDateTime& time)
{
    const QDateTime local = time.toOffsetFromUtc(time.offsetFromUtc());
    const QDate d = local.date();
    const QTime t = local.time();
    return { d.year(), d.month(), d.day(), t.hour(), t.minute(), static_cast<double>(t.second()) };
}

// One sheet being written, row by row.
class Sheet final {
public:
    Sheet(lxw_workbook* book, const RowColumns& columns)
        : m_sheet(workbook_add_worksheet(book, nullptr))
        , m_columns(columns)
        , m_timeFormat(workbook_add_format(book))
    {
        format_set_num_format(m_timeFormat, "yyyy-mm-dd hh:mm:ss");
    }

    lxw_error header(const QList<double>& widths)
    {
        for (qsizetype i = 0; i < m_columns.size(); ++i) {
            const auto col = static_cast<lxw_col_t>(i);
            lxw_format* format = m_columns[i] == RowColumn::Time ? m_timeFormat : nullptr;
            if (const lxw_error e = worksheet_set_column(m_sheet, col, col, widths[i], format))
                return e;
        }
        worksheet_freeze_panes(m_sheet, 1, 0);
        for (qsizetype i = 0; i < m_columns.size(); ++i)
            if (const lxw_error e = worksheet_write_string(
                    m_sheet, 0, static_cast<lxw_col_t>(i), rowColumnName(m_columns[i]).data(), nullptr))
                return e;
        return LXW_NO_ERROR;
    }

    lxw_error row(lxw_row_t at, const HarvestedRow& row)
    {
        for (qsizetype i = 0; i < m_columns.size(); ++i)
            if (const lxw_error e = cell(at, static_cast<lxw_col_t>(i), m_columns[i], row))
                return e;
        return LXW_NO_ERROR;
    }

    lxw_error filter(lxw_row_t lastRow)
    {
        return worksheet_autofilter(m_sheet, 0, 0, lastRow, static_cast<lxw_col_t>(m_columns.size() - 1));
    }

private:
    lxw_error text(lxw_row_t r, lxw_col_t c, const QByteArray& utf8)
    {
        return utf8.isEmpty() ? LXW_NO_ERROR
                              : worksheet_write_string(m_sheet, r, c, utf8.constData(), nullptr);
    }

    lxw_error address(lxw_row_t r, lxw_col_t c, const QByteArray& address)
    {
        const QByteArray utf8 = text::isAscii(address) ? address : text::fromGbk(address).toUtf8();
        if (m_links >= kMaxLinks || utf8.size() > kMaxLinkLength || !isWebAddress(utf8))
            return text(r, c, utf8);
        ++m_links;
        return worksheet_write_url(m_sheet, r, c, utf8.constData(), nullptr);
    }

    lxw_error number(lxw_row_t r, lxw_col_t c, int n)
    {
        return n > 0 ? worksheet_write_number(m_sheet, r, c, n, nullptr) : LXW_NO_ERROR;
    }

    lxw_error cell(lxw_row_t r, lxw_col_t c, RowColumn column, const HarvestedRow& row)
    {
        switch (column) {
        case RowColumn::Keyword:
            return text(r, c, text::fromGbk(row.keyword).toUtf8());
        case RowColumn::Engine:
            return text(r, c, row.engine.toUtf8());
        case RowColumn::Page:
            return number(r, c, row.page);
        case RowColumn::Rank:
            return number(r, c, row.rank);
        case RowColumn::Kind:
            return text(r, c, QByteArray(rowKindName(row.kind).data()));
        case RowColumn::Address:
            return address(r, c, row.address);
        case RowColumn::Title:
            return text(r, c, text::fromGbk(row.title).toUtf8());
        case RowColumn::Time:
            if (!row.time.isValid())
                return LXW_NO_ERROR;
            lxw_datetime when = wallClock(row.time);
            return worksheet_write_datetime(m_sheet, r, c, &when, m_timeFormat);
        }
        return LXW_NO_ERROR;
    }

    lxw_worksheet* m_sheet;
    const RowColumns& m_columns;
    lxw_format* m_timeFormat;
    int m_links = 0;
};

// Writes the workbook to `file`, which it replaces.
void writeWorkbook(
    const QString& path, const QByteArray& file, const RowColumns& columns, const HarvestedRows& rows)
{
    lxw_workbook_options options {};
    // Rows go to disk as they are written, not held as cells: a workbook of
    // a long run fits in little memory. Hyperlinks are kept all the same.
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(file.constData(), &options);
    if (!book)
        fail(path, LXW_ERROR_CREATING_XLSX_FILE);
    Sheet sheet(book, columns);
    lxw_error error = sheet.header(columnWidths(columns, rows));
    for (qsizetype i = 0; i < rows.size() && error == LXW_NO_ERROR; ++i)
        error = sheet.row(static_cast<lxw_row_t>(i + 1), rows[i]);
    if (error == LXW_NO_ERROR)
        error = sheet.filter(static_cast<lxw_row_t>(rows.size()));
    // Closing frees the workbook whatever happened before.
    const lxw_error closed = workbook_close(book);
    if (error != LXW_NO_ERROR)
        fail(path, error);
    if (closed != LXW_NO_ERROR)
        fail(path, closed);
}

// A file of the program's temporary form in `folder`, removed with it.
struct WorkFile {
    QByteArray name;
    std::optional<io::LiveTemporaryFile> listed;

    bool create(const QString& folder)
    {
        name = io::temporaryFilePattern(io::encodePath(folder));
        const io::FileDescriptor fd(io::systemCalls().mkostemps(name.data(), 4, O_CLOEXEC));
        if (!fd.isOpen())
            return false;
        listed.emplace(name);
        return true;
    }
    ~WorkFile()
    {
        if (listed)
            ::unlink(name.constData());
    }
};

// Streams the finished workbook into replaceFile's new file.
void copyInto(const QByteArray& file, io::ContentSink& sink)
{
    const io::FileDescriptor fd(::open(file.constData(), O_RDONLY | O_CLOEXEC));
    if (!fd.isOpen())
        throw text::StreamReadError(io::decodePath(file), errno);
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw text::StreamReadError(io::decodePath(file), errno);
        if (n == 0)
            return;
        sink.write(buffer.constData(), n);
    }
}

} // namespace

void saveWorkbook(const QString& path, const RowColumns& columns, const HarvestedRows& rows)
{
    // The workbook is made beside its target (else in the temporary folder
    // when that folder takes no new file), then put in place whole.
    WorkFile work;
    if (!work.create(QFileInfo(path).absolutePath()) && !work.create(QDir::tempPath()))
        throw text::FileCreateError(path, text::systemReason(errno));
    writeWorkbook(path, work.name, columns, rows);
    const qint64 size = QFileInfo(io::decodePath(work.name)).size();
    io::replaceFile(
        path, [&](io::ContentSink& sink) { copyInto(work.name, sink); }, size);
}

} // namespace tess::harvest
