#pragma once

#include "harvest/SearchWindow.h"

#include <functional>

namespace tess::harvest {

// The search run's window when there is none: the options come from the
// command line, and what the window would show in its status panel and
// boxes goes to the callbacks. The rows reach the output through the run's
// ResultsLog, which has them with where they came from.
class HeadlessWindow final : public SearchWindow {
public:
    struct Settings {
        int intervalSeconds = 5;
        bool dedupe = false;
        QString keywordFile;
        int startPosition = 0; // the answer to the start prompt
    };

    explicit HeadlessWindow(Settings settings);

    // The run's news, which the window would show in its status panel.
    std::function<void(const RunNotice& notice)> onNotice;
    // A box the window would show: it has to be read by someone.
    std::function<void(const QString& text)> onMessage;

    int intervalSetting() override { return m_settings.intervalSeconds; }
    void setIntervalSetting(int seconds) override;
    bool dedupeChecked() override { return m_settings.dedupe; }
    void setDedupeChecked(bool checked) override { m_settings.dedupe = checked; }
    QString keywordFileText() override { return m_settings.keywordFile; }
    void setKeywordFileText(const QString& text) override { m_settings.keywordFile = text; }
    // There are no panels; the counts the run shows there are the rows written.
    void setPanelText(int, const QString&) override { }
    void showNotice(const RunNotice& notice) override;
    void setCommandsEnabled(bool, bool, bool) override { }
    void repaintNow() override { }
    // The run clears a list that grows past a hundred rows; there is no
    // list here, only the count it asks for.
    int resultRowCount() override { return m_shownRows; }
    void clearResults() override { m_shownRows = 0; }
    void appendResults(const HarvestedRows& rows) override { m_shownRows += static_cast<int>(rows.size()); }
    std::optional<QString> inputQuery(const QString&, const QString&, const QString&) override;
    void informationBox(const QString& text) override { message(text); }
    void plainMessage(const QString& text) override { message(text); }
    void reportError(const QString& text) override { message(text); }

private:
    void message(const QString& text);

    Settings m_settings;
    int m_shownRows = 0;
};

} // namespace tess::harvest
