#pragma once

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
    int clears = 0;
    std::deque<std::optional<QString>> answers; // default: accept the offer
    QStringList prompts, infos, plains, errors;

    int IntervalSetting() override { return interval; }
    void SetIntervalSetting(int s) override { interval = std::clamp(s, 1, 1000); }
    bool DedupeChecked() override { return dedupe; }
    void SetDedupeChecked(bool c) override { dedupe = c; }
    QString KeywordFileText() override { return keywordFile; }
    void SetKeywordFileText(const QString& t) override { keywordFile = t; }
    void SetPanelText(int panel, const QString& text) override { panels[panel] = text; }
    void SetCommandsEnabled(bool s, bool st, bool i) override
    {
        searchEnabled = s;
        stopEnabled = st;
        importEnabled = i;
    }
    void RepaintNow() override { }
    int ResultRowCount() override { return static_cast<int>(rows.size()); }
    void ClearResults() override
    {
        rows.clear();
        ++clears;
    }
    void AppendResult(const QByteArray& a, const QByteArray& t) override { rows.append({ a, t }); }
    std::optional<QString> InputQuery(const QString&, const QString&, const QString& value) override
    {
        prompts << value;
        if (answers.empty())
            return value;
        const bool accepted = answers.front().has_value();
        const QString text = answers.front().value_or(QString());
        answers.pop_front();
        return accepted ? std::optional<QString>(text) : std::nullopt;
    }
    void InformationBox(const QString& t) override { infos << t; }
    void PlainMessage(const QString& t) override { plains << t; }
    void ReportError(const QString& t) override { errors << t; }
};

} // namespace tess::test
