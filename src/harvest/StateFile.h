#pragma once

#include <QString>

namespace tess::harvest {

class SearchWindow;

// Where a search stopped and the user's two options, kept beside the
// program between runs: four GBK lines, each ended by CR LF —
//   1. the keyword file's path (the 搜索文件 box)
//   2. the run's keyword index - 1 in decimal, so it names the keyword
//      being searched
//   3. "qcyes" when 去重 is checked, else "qcno"
//   4. the interval in whole seconds
inline constexpr char kStateFileName[] = "tessaroon.ini";

struct SavedState {
    QString keywordFile;
    int keywordIndex = 0; // as the run holds it; the file stores one less
    bool dedupe = false;
    int intervalSeconds = 5;
};

// Replaces the file whole, so a failed save keeps the previous one.
// Throws FileCreateError or StreamWriteError.
void saveStateFile(const QString& path, const SavedState& state);

// Receives the lines in file order while the state file is read.
class StateReceiver {
public:
    virtual ~StateReceiver() = default;
    virtual void restoreKeywordFile(const QString& path) = 0;
    virtual void restoreKeywordIndex(int value) = 0; // the line as read
    virtual void restoreDedupe(bool checked) = 0;
    virtual void restoreInterval(int seconds) = 0;
};

// Reads the file line by line and applies each line in order. A missing
// line reads as "". A line 2 or 4 that is not a whole number throws
// ConvertError, and the lines after it are not applied. Returns false when
// there is no file. Read errors throw InOutError.
bool loadStateFile(const QString& path, StateReceiver& receiver);

} // namespace tess::harvest
