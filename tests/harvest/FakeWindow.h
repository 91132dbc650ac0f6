#pragma once

#include "harvest/RunTexts.h"
#include "harvest/SearchWindow.h"
#include "harvest/Timer.h"

#include <QList>
#include <QMap>
#include <QPair>

#include <deque>

namespace tess::test {

// A timer the test fires by hand.
class ManualTimer final : public harvest::Timer {
public:
    void setInterval(int ms) override { m_interval = ms; }
    int interval() const override { return m_interval; }
    void setEnabled(bool on) override
    {
        if (on)
            ++starts; // a fresh interval begins
        m_enabled = on;
    }
    bool enabled() const override { return m_enabled; }
    void fire() { tick(); }
    int starts = 0;

private:
    int m_interval = 0;
    bool m_enabled = false;
};

// Records what the run does to its window and answers its prompts.
class FakeWindow final : public harvest::SearchWindow {
public:
    int interval = 5;
    bool dedupe = false;
    QString keywordFile;
    QMap<int, QString> panels;
    bool searchEnabled = true, stopEnabled = true, importEnabled = true;
    QList<QPair<QByteArray, QByteArray>> rows;
    QStringList rowEngines; // the engine of each row
    harvest::HarvestedRows fullRows; // every row with its context, never cleared
    int batches = 0; // appendResults calls
    int clears = 0;
    std::deque<std::optional<QString>> answers; // default: accept the offer
    QStringList prompts, infos, plains, errors;

    int intervalSetting() override { return interval; }
    void setIntervalSetting(int s) override { interval = std::clamp(s, 1, 1000); }
    bool dedupeChecked() override { return dedupe; }
    void setDedupeChecked(bool c) override { dedupe = c; }
    QString keywordFileText() override { return keywordFile; }
    void setKeywordFileText(const QString& t) override { keywordFile = t; }
    void setPanelText(int panel, const QString& text) override { panels[panel] = text; }
    // As the main window shows it.
    void showNotice(const harvest::RunNotice& notice) override
    {
        panels[harvest::PanelStatus] = harvest::runNoticeText(notice);
    }
    void setCommandsEnabled(bool s, bool st, bool i) override
    {
        searchEnabled = s;
        stopEnabled = st;
        importEnabled = i;
    }
    void repaintNow() override { }
    int resultRowCount() override { return static_cast<int>(rows.size()); }
    void clearResults() override
    {
        rows.clear();
        ++clears;
    }
    void appendResults(const harvest::HarvestedRows& batch) override
    {
        for (const harvest::HarvestedRow& row : batch) {
            rows.append({ row.address, row.title });
            rowEngines.append(row.engine);
        }
        fullRows += batch;
        ++batches;
    }
    std::optional<QString> inputQuery(const QString&, const QString&, const QString& value) override
    {
        prompts << value;
        if (answers.empty())
            return value;
        const bool accepted = answers.front().has_value();
        const QString text = answers.front().value_or(QString());
        answers.pop_front();
        return accepted ? std::optional<QString>(text) : std::nullopt;
    }
    void informationBox(const QString& t) override { infos << t; }
    void plainMessage(const QString& t) override { plains << t; }
    void reportError(const QString& t) override { errors << t; }
};

} // namespace tess::test
