#pragma once

#include "harvest/RowFormats.h"
#include "harvest/SearchWindow.h"

#include <QMap>

#include <functional>

namespace tess::harvest {

// The search run's window when there is none: the options come from the
// command line, the rows go to a RowWriter, and what the window would show
// in its panels and boxes goes to the callbacks.
class HeadlessWindow final : public SearchWindow {
public:
    struct Settings {
        int intervalSeconds = 5;
        bool dedupe = false;
        QString keywordFile;
        int startPosition = 0; // the answer to the start prompt
    };

    HeadlessWindow(Settings settings, RowWriter& rows);

    // A status panel text (the run's notes among them).
    std::function<void(const QString& text)> OnStatus;
    // A box the window would show: it has to be read by someone.
    std::function<void(const QString& text)> OnMessage;

    QString panelText(int panel) const { return m_panels.value(panel); }

    int IntervalSetting() override { return m_settings.intervalSeconds; }
    void SetIntervalSetting(int seconds) override;
    bool DedupeChecked() override { return m_settings.dedupe; }
    void SetDedupeChecked(bool checked) override { m_settings.dedupe = checked; }
    QString KeywordFileText() override { return m_settings.keywordFile; }
    void SetKeywordFileText(const QString& text) override { m_settings.keywordFile = text; }
    void SetPanelText(int panel, const QString& text) override;
    void SetCommandsEnabled(bool, bool, bool) override { }
    void RepaintNow() override { }
    // The run clears a list that grows past a hundred rows; there is no
    // list here, only the count it asks for.
    int ResultRowCount() override { return m_shownRows; }
    void ClearResults() override { m_shownRows = 0; }
    void AppendResult(const QByteArray& address, const QByteArray& linkText) override;
    std::optional<QString> InputQuery(const QString&, const QString&, const QString&) override;
    void InformationBox(const QString& text) override { message(text); }
    void PlainMessage(const QString& text) override { message(text); }
    void ReportError(const QString& text) override { message(text); }

private:
    void message(const QString& text);

    Settings m_settings;
    RowWriter& m_rows;
    QMap<int, QString> m_panels;
    int m_shownRows = 0;
};

} // namespace tess::harvest
