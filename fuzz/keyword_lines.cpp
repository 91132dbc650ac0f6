// Keyword files as the window reads them: splitList() for the list and
// countLines() for the count, on any bytes. Each is checked against a plain
// restatement of its documented rule, and against the other where the two
// are meant to agree.
#include "FuzzCheck.h"

#include "io/FileReader.h"
#include "tools/import/KeywordImport.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

using namespace tess;

namespace {

// splitList()'s rule said another way: the text ends at the first NUL; CR
// LF, a lone CR and a lone LF each end one line; a line end at the very
// end adds no empty line.
io::Lines referenceSplit(QByteArray bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    bytes.replace("\r\n", "\n");
    bytes.replace('\r', '\n');
    io::Lines lines = bytes.split('\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// countLines()'s rule said another way: the text ends at a byte 26 that
// begins a line; then every LF ends a line, and so do the text's end after
// a last line without one.
qsizetype referenceCount(const QByteArray& bytes)
{
    qsizetype end = bytes.size();
    for (qsizetype i = 0; i < bytes.size(); ++i)
        if (bytes[i] == 26 && (i == 0 || bytes[i - 1] == '\n')) {
            end = i;
            break;
        }
    const QByteArray text = bytes.left(end);
    return text.count('\n') + (text.isEmpty() || text.endsWith('\n') ? 0 : 1);
}

// Where the two readers are meant to agree: no NUL, no CR but the one of
// a CR LF, and no byte 26 where a line begins.
bool ordinaryText(const QByteArray& bytes)
{
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\0' || (c == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n'))
            || (c == 26 && (i == 0 || bytes[i - 1] == '\n')))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const io::Lines lines = tools::splitList(bytes);
    for (const QByteArray& line : lines)
        FUZZ_CHECK(!line.contains('\r') && !line.contains('\n') && !line.contains('\0'));
    FUZZ_CHECK(lines == referenceSplit(bytes));

    // The list written back with CR LF reads as the same list, and where the
    // text was written that way already, gives it back byte for byte.
    const QByteArray rewritten = io::joinCrLf(lines);
    FUZZ_CHECK(tools::splitList(rewritten) == lines);
    const bool crLfOnly = !bytes.contains('\0') && bytes.count('\r') == bytes.count("\r\n")
        && bytes.count('\n') == bytes.count("\r\n");
    if (crLfOnly && (bytes.isEmpty() || bytes.endsWith("\r\n")))
        FUZZ_CHECK(rewritten == bytes);

    const qsizetype count = tools::countLines(bytes);
    FUZZ_CHECK(count == referenceCount(bytes));
    FUZZ_CHECK(count <= bytes.count('\n') + 1);
    if (ordinaryText(bytes))
        FUZZ_CHECK(count == lines.size());
    return 0;
}
