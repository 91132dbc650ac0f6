#pragma once

#include "harvest/HarvestedRow.h"
#include "harvest/RunNews.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace tess::harvest {

// Status bar panels the run writes.
enum Panel : int {
    PanelKeywordCount = 1, // lines of the imported keyword file
    PanelKeywordIndex = 3, // the keyword position at each page request
    PanelHarvestCount = 5, // links harvested since the start
    PanelStatus = 6, // status messages: the run's notices, among others
};

// What the search run needs of its window, and nothing more. The main
// window implements it; tests use a recording fake.
class SearchWindow {
public:
    virtual ~SearchWindow() = default;

    // The interval box (SpinEdit1), read as whole seconds in 1..1000.
    virtual int intervalSetting() = 0;
    virtual void setIntervalSetting(int seconds) = 0; // the box clamps
    // The de-duplicate box (CheckBox1, "去重").
    virtual bool dedupeChecked() = 0;
    virtual void setDedupeChecked(bool checked) = 0;
    // The keyword file box (搜索文件).
    virtual QString keywordFileText() = 0;
    virtual void setKeywordFileText(const QString& text) = 0;

    virtual void setPanelText(int panel, const QString& text) = 0;
    // The run's news; the main window shows it in the status panel.
    virtual void showNotice(const RunNotice& notice) = 0;
    // Enabled state of the Search, Stop and Import commands.
    virtual void setCommandsEnabled(bool search, bool stop, bool import) = 0;
    virtual void repaintNow() = 0;

    // The results list (ListView1).
    virtual int resultRowCount() = 0;
    virtual void clearResults() = 0;
    // Appends a page's new rows, in page order, and scrolls the last into
    // view. Called once a page, so that a page of thousands of links costs
    // one update of the list.
    virtual void appendResults(const HarvestedRows& rows) = 0;

    // The input prompt; nothing when the user cancels.
    virtual std::optional<QString> inputQuery(
        const QString& caption, const QString& prompt, const QString& value)
        = 0;
    virtual void informationBox(const QString& text) = 0;
    virtual void plainMessage(const QString& text) = 0;
    // Tells the user of an error the run goes on after; shown once the
    // current step is over, in the standard error box.
    virtual void reportError(const QString& text) = 0;
};

} // namespace tess::harvest
