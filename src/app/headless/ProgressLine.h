#pragma once

#include <QElapsedTimer>
#include <QString>

namespace tess::app {

// Writes "tessaroon: TEXT" on a line of its own to standard error.
void say(const QString& text);
// The system's text for an errno value.
QString systemError(int error);

// The harvest's progress on standard error: one line that keeps being
// rewritten on a terminal; a line per page in a log file or a pipe.
class ProgressLine final {
public:
    ProgressLine();

    void page(int keyword, int keywords, int page, qint64 rows);
    // Keyword mining: the depth of the keyword asked last, the keywords
    // asked of those to ask so far, and the keywords found.
    void mining(int depth, qint64 asked, qint64 toAsk, qint64 found);
    // Ends the updating line before anything else is written.
    void breakLine();

private:
    void show(const QString& line);

    bool m_terminal;
    bool m_open = false;
    QElapsedTimer m_clock;
};

} // namespace tess::app
