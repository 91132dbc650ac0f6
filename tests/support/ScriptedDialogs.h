#pragma once

#include "ui/Dialogs.h"

#include <QDir>
#include <QStringList>

#include <deque>
#include <optional>

namespace tess::test {

// Answers the program's dialogs from a script and records what was shown,
// so window tests never block on a modal box. Installed for its lifetime.
class ScriptedDialogs final : public ui::Dialogs {
public:
    struct Shown {
        QString kind; // "information", "confirm", "plain", "list", "input", "error", "open", "save"
        QString text; // message, prompt, or the file dialog's title
        QStringList entries = {}; // a list box's entries
    };

    ScriptedDialogs() { ui::setDialogs(this); }
    ~ScriptedDialogs() override { ui::setDialogs(nullptr); }

    std::deque<int> saveFilters; // the filter each save dialog ends on; default: not known
    std::deque<bool> confirmAnswers; // default: yes
    std::deque<std::optional<QString>> inputAnswers; // default: accept the value
    std::deque<QStringList> openAnswers; // default: cancel
    std::deque<std::optional<QString>> saveAnswers; // default: cancel
    std::vector<Shown> shown;
    std::vector<ui::FileDialog> fileDialogs; // each file dialog as it was opened

    QStringList texts(const QString& kind) const
    {
        QStringList out;
        for (const auto& s : shown)
            if (s.kind == kind)
                out << s.text;
        return out;
    }

    void information(QWidget*, const QString& text) override
    {
        shown.push_back({ QStringLiteral("information"), text });
    }
    bool confirm(QWidget*, const QString& text) override
    {
        shown.push_back({ QStringLiteral("confirm"), text });
        return take(confirmAnswers, true);
    }
    void plainMessage(QWidget*, const QString& text) override
    {
        shown.push_back({ QStringLiteral("plain"), text });
    }
    void listMessage(QWidget*, const QString& text, const QStringList& entries) override
    {
        shown.push_back({ QStringLiteral("list"), text, entries });
    }
    std::optional<QString> inputQuery(
        QWidget*, const QString& caption, const QString& prompt, const QString& value) override
    {
        shown.push_back(
            { QStringLiteral("input"), caption + QLatin1Char('|') + prompt + QLatin1Char('|') + value });
        return take(inputAnswers, std::optional<QString>(value));
    }
    void standardError(QWidget*, const QString& message) override
    {
        shown.push_back({ QStringLiteral("error"), message });
    }
    QStringList openFiles(QWidget*, ui::FileDialog& d) override
    {
        shown.push_back({ QStringLiteral("open"), d.title });
        fileDialogs.push_back(d);
        QStringList r = take(openAnswers, QStringList());
        if (!r.isEmpty())
            d.fileName = r.first();
        return r;
    }
    std::optional<QString> saveFile(QWidget*, ui::FileDialog& d) override
    {
        shown.push_back({ QStringLiteral("save"), d.title });
        fileDialogs.push_back(d);
        auto r = take(saveAnswers, std::optional<QString>());
        if (r)
            d.fileName = *r;
        d.chosenFilter = take(saveFilters, -1);
        return r;
    }

private:
    template <typename Q, typename T> static T take(Q& queue, T fallback)
    {
        if (!queue.empty()) {
            fallback = std::move(queue.front());
            queue.pop_front();
        }
        return fallback;
    }
};

} // namespace tess::test
