#pragma once

#include "tools/list/ListCommand.h"
#include "ui/Dialogs.h"
#include "ui/SecondaryWindow.h"

#include <QString>

#include <atomic>
#include <exception>
#include <memory>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;

namespace tess::tools {

// 列表工具: `tessaroon list` in a window. The sources, the steps ticked
// (in the command line's order), the target; 运行 lists on a thread of its
// own, so the program goes on meanwhile, and a count shows as a table.
// Closing the window stops a list still running, the target as it was.
class ListToolWindow final : public ui::SecondaryWindow {
    Q_OBJECT
public:
    // The count file's rows the table shows, largest first.
    static constexpr int kShownCountRows = 1000;

    explicit ListToolWindow(QWidget* parent = nullptr);
    ~ListToolWindow() override;

    // What the ticked steps, the sources and the target ask for. Throws
    // text::AppError saying what is missing or wrong (a pattern that does
    // not compile, with the compiler's words).
    ListArguments arguments() const;

    bool running() const { return m_job != nullptr; }
    // Whether a stop waits for the list's thread; may be asked from any thread.
    bool stopping() const { return m_stopping; }
    QString statusText() const;

public slots:
    // 运行: checks the form, then lists off the window's thread.
    void run();
    // Stops the list and waits for its thread; nothing more is shown of it.
    void stop();

protected:
    void done(int result) override;

private:
    struct Job;
    struct Step;

    QWidget* buildSources();
    QWidget* buildSteps();
    QWidget* buildTarget();
    void addSources();
    void removeSources();
    void chooseTarget();
    void showProgress(int serial, int percent);
    void finish(int serial, const ListCounts& counts, const std::exception_ptr& error);
    void showCounts(const QString& countFile);

    QListWidget* m_sourceList = nullptr;
    std::vector<std::unique_ptr<Step>> m_steps;
    QLineEdit* m_targetEdit = nullptr;
    QPushButton* m_runButton = nullptr;
    QLabel* m_status = nullptr;
    QTableWidget* m_countTable = nullptr;
    ui::FileDialog m_sourcesDialog;
    ui::FileDialog m_targetDialog;
    ui::FileDialog m_listDialog;
    std::unique_ptr<Job> m_job;
    int m_serial = 0; // tells a list's news from that of one stopped before it
    std::atomic<bool> m_stopping = false;
};

} // namespace tess::tools
