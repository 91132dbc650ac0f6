#pragma once

#include <QList>
#include <QString>

namespace tess::harvest {

// What one engine of a run has done so far.
struct EngineTally {
    QString name; // the rule set's name: "today", "360"
    QString label; // its label: "现行", "360搜索"
    int harvested = 0; // rows taken from its pages
    int failedPages = 0; // its pages given up or not readable
    // The engine was dropped for the rest of the run at its verification
    // page, while searching the keyword at position droppedAtKeyword
    // (counted from 0), which it did not finish.
    bool dropped = false;
    int droppedAtKeyword = -1;
};

// What a run has done so far: the rows it harvested and what it had to
// leave out.
struct RunCounts {
    int harvested = 0; // rows taken since the start
    int failedPages = 0; // pages given up or not readable
    int skippedKeywords = 0; // keywords too long to ask for
    int blankKeywords = 0; // keywords of blanks only, never asked for
    int unresolvedLinks = 0; // redirect links without a target
    int excludedRows = 0; // rows on a site of the exclusion list (排除列表)
    QList<EngineTally> engines = {}; // one per chosen engine, in the order they are asked
};

// Where a run stands: at its end, the position it may be resumed from.
struct RunEnd {
    RunCounts counts;
    // Keywords taken so far: the one being searched is keywordIndex - 1.
    int keywordIndex = 0;
    // The keyword taken last still has pages that were not read.
    bool morePages = false;
};

// The run's news for its window's status panel.
enum class RunNoticeKind {
    ClearingBrowserData, // the start empties the browser's data
    Searching, // the first request is made, or the run goes on after a verification
    KeywordTooLong, // `keyword` is skipped
    PageReload, // the page is asked for again, the `count`th time
    PageFailed, // `keyword`'s page did not load: `detail` says why
    PageElsewhere, // `keyword`'s page took the browser to `detail`
    PageNotLoaded, // `keyword`'s page never completed, `count` requests made
    VerificationNeeded, // the run waits for the user to pass the check of engine `detail` (its label)
    EngineSkipped, // engine `detail` (its label) is dropped for the rest of the run; `count` engines remain
    TooManyRedirects, // `keyword`'s page: only the first `count` redirect links are asked for
    Stopping, // 终止 was pressed
    Finished, // the run is over; `counts` holds what it did
    BrowserNote, // the browser did something on its own: `detail`
};

struct RunNotice {
    RunNoticeKind kind;
    int keyword = 0; // a keyword's position, counted from 1
    int count = 0;
    QString detail = {};
    RunCounts counts = {};
    // More than one engine is asked: texts name the engine.
    bool severalEngines = false;
};

} // namespace tess::harvest
