// The state file as the program finds it at start-up: any bytes at all.
// Whatever they are, reading them may fail only with the program's own
// errors (the ones its error box shows), must apply the lines in order
// and stop at the first bad one, and what it restores must save and read
// back as the run holds it.
#include "FuzzCheck.h"

#include "harvest/StateFile.h"
#include "io/FileReader.h"
#include "text/Errors.h"
#include "text/Gbk.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <limits>
#include <optional>

using namespace tess;

namespace {

struct Recorder final : harvest::StateReceiver {
    int calls = 0; // how many of the four lines were applied
    bool inOrder = true;
    harvest::SavedState state;

    void next(int which)
    {
        inOrder = inOrder && calls == which;
        ++calls;
    }
    void restoreKeywordFile(const QString& path) override
    {
        next(0);
        state.keywordFile = path;
    }
    void restoreKeywordIndex(int value) override
    {
        next(1);
        state.keywordIndex = value;
    }
    void restoreDedupe(bool checked) override
    {
        next(2);
        state.dedupe = checked;
    }
    void restoreInterval(int seconds) override
    {
        next(3);
        state.intervalSeconds = seconds;
    }
};

// The file's lines as the state file's reader is documented to see them:
// LF ends a line, every CR is dropped, a last line without LF counts when
// it is not empty.
io::Lines referenceLines(QByteArray bytes)
{
    bytes.replace('\r', QByteArray());
    io::Lines lines = bytes.split('\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// A line that is nothing but a decimal number, optionally negative, within
// the 32-bit range: the one form whose value is beyond doubt.
std::optional<int32_t> plainDecimal(const QByteArray& line)
{
    int32_t value = 0;
    const char* const end = line.constData() + line.size();
    const auto [at, error] = std::from_chars(line.constData(), end, value);
    if (line.isEmpty() || error != std::errc() || at != end)
        return std::nullopt;
    return value;
}

struct Outcome {
    Recorder recorder;
    bool convertError = false;
};

// Reads `path`; any error that is not one of the program's own fails the
// run, naming what escaped.
Outcome load(const QString& path)
{
    Outcome out;
    try {
        FUZZ_CHECK(harvest::loadStateFile(path, out.recorder));
    } catch (const text::ConvertError&) {
        out.convertError = true;
    } catch (const text::AppError&) {
        // Another of the program's errors: reported to the user, which is
        // all that is asked of a file the program did not write.
    } catch (const std::exception& e) {
        std::fprintf(stderr, "an error of another kind escaped: %s\n", e.what());
        FUZZ_CHECK(!"only the program's own errors escape");
    } catch (...) {
        FUZZ_CHECK(!"only the program's own errors escape");
    }
    return out;
}

// In memory where the system offers it: saving syncs the file to disk,
// which on a disk would slow each run down to a few hundred a second.
const QTemporaryDir& folder()
{
    static const QTemporaryDir dir = [] {
        const QString shm = QStringLiteral("/dev/shm");
        if (QFileInfo(shm).isDir() && QFileInfo(shm).isWritable())
            return QTemporaryDir(shm + QStringLiteral("/tessaroon-fuzz-XXXXXX"));
        return QTemporaryDir();
    }();
    FUZZ_CHECK(dir.isValid());
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString path = folder().filePath(QStringLiteral("tessaroon.ini"));
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(bytes) == bytes.size());
    }

    const Outcome first = load(path);
    const Recorder& r = first.recorder;
    FUZZ_CHECK(r.inOrder);
    // A bad number stops the reading right before the line after it.
    if (first.convertError)
        FUZZ_CHECK(r.calls == 1 || r.calls == 3);
    else
        FUZZ_CHECK(r.calls == 4);

    const io::Lines lines = referenceLines(bytes);
    auto line = [&](int i) { return i < lines.size() ? lines[i] : QByteArray(); };
    FUZZ_CHECK(r.state.keywordFile == text::fromGbk(line(0)));
    if (const auto index = plainDecimal(line(1)))
        FUZZ_CHECK(r.calls >= 2 && r.state.keywordIndex == *index);
    if (line(1).isEmpty())
        FUZZ_CHECK(first.convertError && r.calls == 1);
    if (r.calls >= 3)
        FUZZ_CHECK(r.state.dedupe == (line(2) == "qcyes"));
    if (const auto interval = plainDecimal(line(3)))
        FUZZ_CHECK(r.calls < 3 || r.state.intervalSeconds == *interval);
    if (first.convertError)
        return 0;

    // The run restored from the file saves it again as it holds it: the
    // index one less (the lowest index as it is, not wrapped round), the
    // path as GBK, the rest as read.
    const QString again = folder().filePath(QStringLiteral("saved.ini"));
    harvest::saveStateFile(again, r.state);
    const Outcome second = load(again);
    FUZZ_CHECK(!second.convertError && second.recorder.calls == 4);
    const harvest::SavedState& s = second.recorder.state;
    FUZZ_CHECK(s.keywordFile == text::fromGbk(text::toGbk(r.state.keywordFile)));
    const int index = r.state.keywordIndex;
    FUZZ_CHECK(s.keywordIndex == (index == std::numeric_limits<int>::min() ? index : index - 1));
    FUZZ_CHECK(s.dedupe == r.state.dedupe);
    FUZZ_CHECK(s.intervalSeconds == r.state.intervalSeconds);
    return 0;
}
