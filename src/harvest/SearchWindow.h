#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace tess::harvest {

// Status bar panels the run writes.
enum Panel : int {
    PanelKeywordCount = 1, // lines of the imported keyword file
    PanelKeywordIndex = 3, // KeywordIndex at each page request
    PanelHarvestCount = 5, // links harvested since Start
    PanelStatus = 6, // status messages
};

// What the search run needs of its window, and nothing more. The main
// window implements it; tests use a recording fake.
class SearchWindow {
public:
    virtual ~SearchWindow() = default;

    // The interval box (SpinEdit1), read as whole seconds in 1..1000.
    virtual int IntervalSetting() = 0;
    virtual void SetIntervalSetting(int seconds) = 0; // the box clamps
    // The de-duplicate box (CheckBox1, "去重").
    virtual bool DedupeChecked() = 0;
    virtual void SetDedupeChecked(bool checked) = 0;
    // The keyword file box (Edit5).
    virtual QString KeywordFileText() = 0;
    virtual void SetKeywordFileText(const QString& text) = 0;

    virtual void SetPanelText(int panel, const QString& text) = 0;
    // Enabled state of the Search, Stop and Import commands.
    virtual void SetCommandsEnabled(bool search, bool stop, bool import) = 0;
    virtual void RepaintNow() = 0;

    // The results list (ListView1).
    virtual int ResultRowCount() = 0;
    virtual void ClearResults() = 0;
    // Appends one row (GBK address and link text) and scrolls it into view.
    virtual void AppendResult(const QByteArray& address, const QByteArray& linkText) = 0;

    // The input prompt; nothing when the user cancels.
    virtual std::optional<QString> InputQuery(
        const QString& caption, const QString& prompt, const QString& value)
        = 0;
    virtual void InformationBox(const QString& text) = 0;
    virtual void PlainMessage(const QString& text) = 0;
    // Tells the user of an error the run goes on after; shown once the
    // current step is over, in the standard error box.
    virtual void ReportError(const QString& text) = 0;
};

} // namespace tess::harvest
