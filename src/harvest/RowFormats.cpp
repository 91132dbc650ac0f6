#include "harvest/RowFormats.h"

#include "io/FileDescriptor.h"
#include "io/SystemCalls.h"
#include "text/Gbk.h"

#include <cerrno>
#include <sys/stat.h>

namespace tess::harvest {
namespace {

constexpr QLatin1StringView kColumnNames[] = {
    QLatin1StringView("keyword"),
    QLatin1StringView("engine"),
    QLatin1StringView("page"),
    QLatin1StringView("rank"),
    QLatin1StringView("kind"),
    QLatin1StringView("address"),
    QLatin1StringView("title"),
    QLatin1StringView("time"),
};
constexpr int kColumnCount = 8;

bool isTextColumn(RowColumn column)
{
    return column == RowColumn::Keyword || column == RowColumn::Engine || column == RowColumn::Address
        || column == RowColumn::Title;
}

// A field's text, UTF-8; numbers empty when not known.
QByteArray utf8Field(RowColumn column, const HarvestedRow& row)
{
    switch (column) {
    case RowColumn::Keyword:
        return text::fromGbk(row.keyword).toUtf8();
    case RowColumn::Engine:
        return row.engine.toUtf8();
    case RowColumn::Page:
        return row.page > 0 ? QByteArray::number(row.page) : QByteArray();
    case RowColumn::Rank:
        return row.rank > 0 ? QByteArray::number(row.rank) : QByteArray();
    case RowColumn::Kind:
        return QByteArray(rowKindName(row.kind).data(), rowKindName(row.kind).size());
    case RowColumn::Address:
        return text::isAscii(row.address) ? row.address : text::fromGbk(row.address).toUtf8();
    case RowColumn::Title:
        return text::fromGbk(row.title).toUtf8();
    case RowColumn::Time:
        return rowTimeText(row.time).toLatin1();
    }
    return {};
}

// The same in GBK, for Tsv.
QByteArray gbkField(RowColumn column, const HarvestedRow& row)
{
    switch (column) {
    case RowColumn::Keyword:
        return row.keyword;
    case RowColumn::Engine:
        return text::toGbk(row.engine);
    case RowColumn::Address:
        return row.address;
    case RowColumn::Title:
        return row.title;
    default:
        return utf8Field(column, row); // ASCII
    }
}

// What a spreadsheet would start a formula with.
bool startsLikeAFormula(const QByteArray& field)
{
    if (field.isEmpty())
        return false;
    const char c = field.front();
    return c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r';
}

void appendCsvField(QByteArray& out, const QByteArray& field, bool text)
{
    const bool neutralised = text && startsLikeAFormula(field);
    bool quote = neutralised;
    for (qsizetype i = 0; i < field.size() && !quote; ++i) {
        const char c = field[i];
        quote = c == ',' || c == '"' || c == '\r' || c == '\n';
    }
    if (!quote) {
        out += field;
        return;
    }
    out += '"';
    if (neutralised)
        out += '\'';
    for (const char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

void appendJsonString(QByteArray& out, const QByteArray& utf8)
{
    static const char kHex[] = "0123456789abcdef";
    out += '"';
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20) {
            out += "\\u00";
            out += kHex[u >> 4];
            out += kHex[u & 15];
        } else {
            out += c;
        }
    }
    out += '"';
}

void appendJsonRow(QByteArray& out, const RowColumns& columns, const HarvestedRow& row)
{
    out += '{';
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const RowColumn column = columns[i];
        if (i > 0)
            out += ',';
        appendJsonString(out, QByteArray(rowColumnName(column).data(), rowColumnName(column).size()));
        out += ':';
        const QByteArray value = utf8Field(column, row);
        const bool number = column == RowColumn::Page || column == RowColumn::Rank;
        if ((number || column == RowColumn::Time) && value.isEmpty())
            out += "null";
        else if (number)
            out += value;
        else
            appendJsonString(out, value);
    }
    out += "}\n";
}

void appendTsvRow(QByteArray& out, const RowColumns& columns, const HarvestedRow& row)
{
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (i > 0)
            out += '\t';
        QByteArray field = gbkField(columns[i], row);
        for (char& c : field)
            if (c == '\r' || c == '\n' || c == '\t')
                c = ' ';
        out += field;
    }
    out += "\r\n";
}

void appendCsvRow(QByteArray& out, const RowColumns& columns, const HarvestedRow& row)
{
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (i > 0)
            out += ',';
        appendCsvField(out, utf8Field(columns[i], row), isTextColumn(columns[i]));
    }
    out += "\r\n";
}

void appendRow(QByteArray& out, RowFormat format, const RowColumns& columns, const HarvestedRow& row)
{
    if (format == RowFormat::Tsv)
        appendTsvRow(out, columns, row);
    else if (format == RowFormat::Jsonl)
        appendJsonRow(out, columns, row);
    else
        appendCsvRow(out, columns, row);
}

} // namespace

QLatin1StringView rowColumnName(RowColumn column) { return kColumnNames[static_cast<int>(column)]; }

RowColumns allRowColumns()
{
    RowColumns all;
    for (int i = 0; i < kColumnCount; ++i)
        all.append(static_cast<RowColumn>(i));
    return all;
}

std::variant<RowColumns, QString> parseRowColumns(const QString& list)
{
    RowColumns columns;
    for (const QString& name : list.split(QLatin1Char(','))) {
        const QString trimmed = name.trimmed();
        int found = -1;
        for (int i = 0; i < kColumnCount && found < 0; ++i)
            if (trimmed.compare(kColumnNames[i], Qt::CaseInsensitive) == 0)
                found = i;
        if (found < 0)
            return QStringLiteral("unknown column \"%1\"; the columns are %2")
                .arg(trimmed, QStringLiteral("keyword, engine, page, rank, kind, address, title, time"));
        columns.append(static_cast<RowColumn>(found));
    }
    return columns;
}

RowColumns defaultRowColumns(RowFormat format, bool withEngine)
{
    if (format != RowFormat::Tsv)
        return allRowColumns();
    if (withEngine)
        return { RowColumn::Address, RowColumn::Title, RowColumn::Engine };
    return { RowColumn::Address, RowColumn::Title };
}

std::optional<RowFormat> rowFormatNamed(const QString& name)
{
    static const QLatin1StringView names[] = { QLatin1StringView("tsv"), QLatin1StringView("csv"),
        QLatin1StringView("jsonl"), QLatin1StringView("xlsx") };
    for (int i = 0; i < 4; ++i)
        if (name.compare(names[i], Qt::CaseInsensitive) == 0)
            return static_cast<RowFormat>(i);
    return std::nullopt;
}

RowFormat rowFormatForFileName(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    if (dot < 0 || dot < slash)
        return RowFormat::Tsv;
    const std::optional<RowFormat> format = rowFormatNamed(fileName.mid(dot + 1));
    return format.value_or(RowFormat::Tsv);
}

QByteArray rowsPreamble(RowFormat format, const RowColumns& columns)
{
    if (format != RowFormat::Csv)
        return {};
    QByteArray out("\xEF\xBB\xBF");
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (i > 0)
            out += ',';
        out += QByteArray(rowColumnName(columns[i]).data(), rowColumnName(columns[i]).size());
    }
    return out + "\r\n";
}

QByteArray formatRow(RowFormat format, const RowColumns& columns, const HarvestedRow& row)
{
    QByteArray out;
    appendRow(out, format, columns, row);
    return out;
}

QByteArray formatRows(RowFormat format, const RowColumns& columns, const HarvestedRows& rows)
{
    QByteArray out = rowsPreamble(format, columns);
    // One buffer for the lot: about what a row of every column takes.
    out.reserve(out.size() + rows.size() * 40 * columns.size());
    for (const HarvestedRow& row : rows)
        appendRow(out, format, columns, row);
    return out;
}

RowWriter::RowWriter(int fd, RowFormat format, RowColumns columns)
    : m_fd(fd)
    , m_format(format)
    , m_columns(std::move(columns))
{
}

namespace {

// The size of the file behind `fd`; nothing for what is not a regular file
// (a pipe, a terminal, a device), where nothing written can be taken back.
std::optional<off_t> regularFileSize(int fd)
{
    struct stat st { };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return st.st_size;
}

} // namespace

bool RowWriter::begin()
{
    // Rows added to a file that holds some already go under its header.
    const std::optional<off_t> size = regularFileSize(m_fd);
    const QByteArray preamble = size.value_or(0) > 0 ? QByteArray() : rowsPreamble(m_format, m_columns);
    if (preamble.isEmpty() || writeWhole(preamble))
        return true;
    m_error = errno;
    return false;
}

bool RowWriter::writeWhole(const QByteArray& bytes)
{
    // One write for the lot: a reader at the other end of a pipe sees whole
    // rows as far as the system allows, and a file that refuses part of
    // them is cut back to where they began.
    const std::optional<off_t> before = regularFileSize(m_fd);
    if (io::writeAll(m_fd, bytes.constData(), bytes.size()))
        return true;
    const int error = errno;
    if (before)
        io::systemCalls().ftruncate(m_fd, *before);
    errno = error;
    return false;
}

void RowWriter::append(const HarvestedRow& row)
{
    ++m_rows;
    appendRow(m_pending, m_format, m_columns, row);
}

bool RowWriter::flush()
{
    if (m_error != 0) {
        m_pending.clear();
        errno = m_error;
        return false;
    }
    if (m_pending.isEmpty())
        return true;
    const bool written = writeWhole(m_pending);
    if (!written)
        m_error = errno;
    m_pending.clear();
    return written;
}

} // namespace tess::harvest
