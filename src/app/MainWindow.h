#pragma once

#include "app/HarvestAssembly.h"
#include "harvest/ResultsLog.h"
#include "harvest/SearchRun.h"
#include "harvest/SearchWindow.h"
#include "ui/Dialogs.h"

#include <QMainWindow>

#include <array>
#include <exception>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QSpinBox;
class QToolButton;
class QTreeView;
class QWebEngineView;

namespace tess::browser {
class BrowserProfile;
class WebEngineBrowserHost;
class WebEngineBrowserProfile;
} // namespace tess::browser
namespace tess::components {
class QtTaskbarIcon;
}
namespace tess::tools {
class BackgroundMerge;
}

namespace tess::app {

class EngineChooser;
class ResultsModel;
class WindowTray;

// The main window: toolbar, options row, results list, the embedded
// browser the user watches pages load in, and the status bar. It owns the
// search run and lends it the window operations the run needs; each
// command's handler calls into the run or the tools. The widgets keep the
// program's traditional names as their object names.
class MainWindow final : public QMainWindow, public harvest::SearchWindow {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    struct Options {
        // Where the engines are asked, "[NAME=]ADDRESS" each
        // (harvest::applyEngineHosts); none: on their public hosts.
        QList<QByteArray> engineHosts = {};
        QString profileFolder = {}; // the embedded browser's own data
        std::function<QString()> localAddress = {}; // empty: the machine's
        std::function<bool()> trayAvailable = {}; // empty: whether the desktop has a tray now
        // The rule sets the selector offers, in order, and those chosen at
        // start; none: the built-in ones, the first chosen.
        QList<harvest::RuleSet> ruleSets = {};
        QStringList rules = {};
        // Told of each choice of sets the user makes, to remember it: their
        // names separated by commas. Optional.
        std::function<void(const QString& names)> rulesChosen = {};
        // The user's rule files that were not taken, said in one box once
        // the window is up.
        QList<harvest::RuleFileNotTaken> ruleFileErrors = {};
        // The exclusion list (排除列表) in use at start; empty: none. Told of
        // each one the user chooses, to remember it. Optional.
        QString excludeList = {};
        std::function<void(const QString& path)> excludeListChosen = {};
        // 不要广告 at start, and told of each change to remember it. Optional.
        bool skipAds = false;
        std::function<void(bool skip)> skipAdsChosen = {};
    };

    explicit MainWindow(Options options);
    ~MainWindow() override;

    // The secondary windows the toolbar and the shortcuts open.
    void setSecondaryWindows(QDialog* about, QDialog* builder, QDialog* cleaner, QDialog* listTool = nullptr);
    // Takes the exclusion list (排除列表) of that file, empty for none;
    // throws text::AppError when the file cannot be read, the list in use
    // kept.
    void useExclusionList(const QString& path);

    harvest::SearchRun& run() { return m_harvest->run(); }
    browser::WebEngineBrowserHost& browserHost() { return m_harvest->browserHost(); }
    browser::CompletionTracker& tracker() { return m_harvest->tracker(); }
    components::QtTaskbarIcon& trayIcon();
    QString scratchPath() const { return m_scratch.path(); }
    QString statePath() const;
    QString panelText(int panel) const;
    // A merge (合并) is running on its thread; it is being stopped.
    bool mergeRunning() const;
    bool mergeStopping() const;
    browser::BrowserProfile& browserProfile();

    // Commands.
    void importKeywords(); // 导入
    // 导入 of a file chosen elsewhere (the keyword miner's list). Throws as
    // 导入 does.
    void importKeywordFile(const QString& path);
    // The keyword miner's list as the keyword list, the window brought to
    // the front. Throws while a search runs.
    void importMinedKeywords(const QString& path);
    void startSearch(); // 搜索
    void stopSearch(); // 终止
    void saveResults(); // 保存
    void saveProgress(); // 进程
    void openKeywordListBuilder(); // 创建
    void mergeLists(); // 合并
    void openListTool(); // 列表, Ctrl+L
    void showAbout(); // 关于
    void quit(); // 退出 (toolbar and tray menu)
    void showCleaner(); // Ctrl+Shift+Delete

    // harvest::SearchWindow
    int intervalSetting() override;
    void setIntervalSetting(int seconds) override;
    bool dedupeChecked() override;
    void setDedupeChecked(bool checked) override;
    QString keywordFileText() override;
    void setKeywordFileText(const QString& text) override;
    void setPanelText(int panel, const QString& text) override;
    void showNotice(const harvest::RunNotice& notice) override;
    void setCommandsEnabled(bool search, bool stop, bool import) override;
    void repaintNow() override;
    int resultRowCount() override;
    void clearResults() override;
    void appendResults(const harvest::HarvestedRows& rows) override;
    std::optional<QString> inputQuery(
        const QString& caption, const QString& prompt, const QString& value) override;
    void informationBox(const QString& text) override;
    void plainMessage(const QString& text) override;
    void reportError(const QString& text) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void startUp();
    void shutDown();
    bool confirmClose();
    void mergeFinished(const QString& doneText, std::exception_ptr error);
    void stopMerge();
    void buildToolbar();
    void buildCentralArea();
    void setUpFileDialogs();
    QWidget* buildOptionsRow();
    QCheckBox* buildSkipAdsBox(QWidget* row);
    QWidget* buildVerificationBar();
    QWidget* buildExclusionRow();
    void chooseExclusionList();
    void buildStatusBar();
    void clearBrowserData();
    void chooseEngines(const QStringList& names);
    void skipEngine();
    void reportRuleFileErrors();
    // The window boxes go over, brought back from the tray first.
    QWidget* boxParent();

    Options m_options;

    QToolButton* m_importButton = nullptr;
    QToolButton* m_searchButton = nullptr;
    QToolButton* m_stopButton = nullptr;
    QToolButton* m_saveButton = nullptr;
    QToolButton* m_progressButton = nullptr;
    QToolButton* m_createButton = nullptr;
    QToolButton* m_mergeButton = nullptr;
    QToolButton* m_listButton = nullptr;
    QToolButton* m_aboutButton = nullptr;
    QToolButton* m_exitButton = nullptr;
    // Shown while a run waits at a verification page: what is asked, and 跳过此引擎.
    QFrame* m_verificationBar = nullptr;
    QLabel* m_verificationText = nullptr;
    QSpinBox* m_intervalSpin = nullptr;
    QCheckBox* m_dedupeCheck = nullptr;
    QCheckBox* m_onePerSiteCheck = nullptr; // 按站点
    QLineEdit* m_excludeListEdit = nullptr; // 排除列表
    EngineChooser* m_rulesBox = nullptr;
    QLineEdit* m_keywordFileEdit = nullptr;
    QTreeView* m_resultsList = nullptr;
    ResultsModel* m_resultsModel = nullptr;
    QWebEngineView* m_browserView = nullptr;
    std::array<QLabel*, 7> m_panels {};

    ui::FileDialog m_importDialog;
    ui::FileDialog m_mergeSourcesDialog;
    ui::FileDialog m_mergeTargetDialog;
    ui::FileDialog m_saveResultsDialog;
    ui::FileDialog m_excludeListDialog;

    QDialog* m_aboutWindow = nullptr;
    QDialog* m_builderWindow = nullptr;
    QDialog* m_cleanerWindow = nullptr;
    QDialog* m_listToolWindow = nullptr;

    std::unique_ptr<HarvestAssembly> m_harvest;
    std::unique_ptr<browser::WebEngineBrowserProfile> m_browserProfile;
    harvest::ResultsLog m_scratch;
    std::unique_ptr<WindowTray> m_tray;
    bool m_destroyed = false;
    bool m_outerSizeSet = false;
    // The merge runs on a thread of its own, so the window and a search
    // go on meanwhile.
    tools::BackgroundMerge* m_merge = nullptr;
};

} // namespace tess::app
