#pragma once

#include "app/HarvestAssembly.h"
#include "harvest/ResultsLog.h"
#include "harvest/SearchRun.h"
#include "harvest/SearchWindow.h"
#include "ui/Dialogs.h"

#include <QMainWindow>

#include <array>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QSpinBox;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QWebEngineView;

namespace tess::browser {
class BrowserProfile;
class WebEngineBrowserHost;
class WebEngineBrowserProfile;
} // namespace tess::browser
namespace tess::components {
class QtTaskbarIcon;
}

namespace tess::app {

// The main window: toolbar, options row, results list, the embedded
// browser the user watches pages load in, and the status bar. It owns the
// search run and lends it the window operations the run needs; the
// handlers keep their designer names and call into the run and the tools.
class TForm1 final : public QMainWindow, public harvest::SearchWindow {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TForm1)

public:
    struct Options {
        QByteArray engineHost; // empty: the engine's public host
        QString profileFolder; // the embedded browser's own data
        std::function<QString()> localAddress; // empty: the machine's
        std::function<bool()> trayAvailable; // empty: whether the desktop has a tray now
        // The rule sets the selector offers, in order, and the one chosen
        // at start; none: the built-in ones, the classic chosen.
        QList<harvest::RuleSet> ruleSets = {};
        QString rules = {};
        // Told of each set the user chooses, to remember it. Optional.
        std::function<void(const QString& name)> rulesChosen = {};
    };

    explicit TForm1(Options options);
    ~TForm1() override;

    // The secondary windows the toolbar and the shortcut open.
    void setSecondaryWindows(QDialog* about, QDialog* builder, QDialog* cleaner);

    harvest::SearchRun& run() { return m_harvest->run(); }
    browser::WebEngineBrowserHost& browserHost() { return m_harvest->browserHost(); }
    browser::CompletionTracker& tracker() { return m_harvest->tracker(); }
    components::QtTaskbarIcon& trayIcon() { return *antTaskbarIcon1; }
    QString scratchPath() const { return m_scratch.path(); }
    QString statePath() const;
    QString panelText(int panel) const;
    // A merge (合并) is running on its thread; it is being stopped.
    bool mergeRunning() const { return m_merge != nullptr; }
    bool mergeStopping() const;
    browser::BrowserProfile& browserProfile();

    // Commands.
    void SpeedButton4Click(); // 导入
    void N2Click(); // 搜索
    void N3Click(); // 终止
    void N5Click(); // 保存
    void SpeedButton8Click(); // 进程
    void N20Click(); // 创建
    void SpeedButton1Click(); // 合并
    void N15Click(); // 关于
    void SpeedButton10Click(); // 退出
    void ShowCleaner(); // Ctrl+Shift+Delete
    void N17Click(); // show from the tray
    void N18Click(); // hide to the tray
    void N23Click(); // exit from the tray
    void Button1Click(); // next-page step
    void BitBtn1Click(); // finish step

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
    void appendResult(const QByteArray& address, const QByteArray& linkText) override;
    std::optional<QString> inputQuery(
        const QString& caption, const QString& prompt, const QString& value) override;
    void informationBox(const QString& text) override;
    void plainMessage(const QString& text) override;
    void reportError(const QString& text) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void FormDestroy();
    bool FormCloseQuery();
    struct MergeJob;
    void MergeFinished(int serial, const QString& doneText, std::exception_ptr error);
    void StopMerge();
    void buildToolbar();
    QWidget* buildOptionsRow();
    void buildStatusBar();
    void buildTray();
    void clearBrowserData();
    void flushResults();
    void chooseRules(int index);
    // The run waits for the user: the window comes out of the tray and to
    // the front.
    void callForAttention(const QString& text);
    // The window boxes go over, brought back from the tray first.
    QWidget* boxParent();
    bool trayAvailable() const;

    Options m_options;

    QToolButton* SpeedButton4 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QToolButton* SpeedButton5 = nullptr;
    QToolButton* SpeedButton8 = nullptr;
    QToolButton* SpeedButton6 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton9 = nullptr;
    QToolButton* SpeedButton10 = nullptr;
    QSpinBox* SpinEdit1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QComboBox* RulesBox = nullptr;
    QLineEdit* Edit5 = nullptr;
    QTreeWidget* ListView1 = nullptr;
    QWebEngineView* WebBrowser1 = nullptr;
    std::array<QLabel*, 7> m_panels {};
    QMenu* PopupMenu1 = nullptr;
    QAction* N17 = nullptr;
    QAction* N18 = nullptr;
    QAction* N23 = nullptr;

    ui::FileDialog OpenDialog1;
    ui::FileDialog OpenDialog8;
    ui::FileDialog SaveDialog8;
    ui::FileDialog SaveDialog1;

    QDialog* Form2 = nullptr;
    QDialog* Form3 = nullptr;
    QDialog* delform = nullptr;

    std::unique_ptr<HarvestAssembly> m_harvest;
    std::unique_ptr<browser::WebEngineBrowserProfile> m_browserProfile;
    harvest::ResultsLog m_scratch;
    std::unique_ptr<components::QtTaskbarIcon> antTaskbarIcon1;
    bool m_destroyed = false;
    bool m_maximizedBeforeHiding = false;
    bool m_outerSizeSet = false;
    QList<QTreeWidgetItem*> m_pendingRows; // this page's rows, not yet in the list
    // The merge runs on a thread of its own, so the window and a search
    // go on meanwhile; its news comes back through the event queue.
    std::unique_ptr<MergeJob> m_merge;
    int m_mergeSerial = 0;
    std::atomic<bool> m_stoppingMerge = false; // read by any thread
};

} // namespace tess::app
