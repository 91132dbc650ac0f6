#include "harvest/StateFile.h"

#include "io/FileReader.h"
#include "io/FileReplace.h"
#include "text/Gbk.h"
#include "text/Integer.h"

#include <QFileInfo>

#include <limits>

namespace tess::harvest {

void saveStateFile(const QString& path, const SavedState& state)
{
    const io::Lines lines {
        text::toGbk(state.keywordFile),
        // A hand-edited minimum stays the minimum instead of wrapping round.
        QByteArray::number(state.keywordIndex == std::numeric_limits<int>::min() ? state.keywordIndex
                                                                                 : state.keywordIndex - 1),
        state.dedupe ? QByteArray("qcyes") : QByteArray("qcno"),
        QByteArray::number(state.intervalSeconds),
    };
    io::replaceFile(path, io::joinCrLf(lines));
}

bool loadStateFile(const QString& path, StateReceiver& receiver)
{
    if (!QFileInfo::exists(path))
        return false;
    const io::Lines lines = io::readLinesLf(path);
    auto line = [&](int i) { return i < lines.size() ? lines[i] : QByteArray(); };

    receiver.restoreKeywordFile(text::fromGbk(line(0)));
    receiver.restoreKeywordIndex(text::toInteger(line(1)));
    receiver.restoreDedupe(line(2) == "qcyes");
    receiver.restoreInterval(text::toInteger(line(3)));
    return true;
}

} // namespace tess::harvest
