#pragma once

#include "harvest/RuleSet.h"
#include "harvest/SearchWindow.h"
#include "ui/Dialogs.h"

#include <QWidget>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QStandardItemModel;
class QTreeView;
class QVBoxLayout;

namespace tess::tools {
class KeywordMiner;
}

namespace tess::app {

class HarvestAssembly;

// 挖掘, the keyword list builder's second page: grows a keyword list from
// seed keywords through the related searches (相关搜索) of one engine, in a
// browser of its own that the user watches and passes verification pages
// in, as in the main window. The keywords show as they arrive, with their
// depth; they can be saved, or handed to the main window as its keyword
// list.
class MiningPage final : public QWidget, public harvest::SearchWindow {
    Q_OBJECT
public:
    struct Options {
        // The sets offered; those without related searches are left out.
        QList<harvest::RuleSet> ruleSets = harvest::builtInRuleSets();
        QList<QByteArray> engineHosts = {}; // as the main window's
        QString profileFolder; // the page's own browser data
        QString scratchFolder; // the run's state file
        std::function<QString()> localAddress = {}; // as SearchRun::Services
        // 用于搜索: the list, saved in `path`, becomes the main window's
        // keyword list. Throws when the main window cannot take it now.
        std::function<void(const QString& path)> useKeywords = {};
    };

    explicit MiningPage(Options options, QWidget* parent = nullptr);
    ~MiningPage() override;

    // Commands.
    void startMining(); // 开始挖掘
    void stopMining(); // 停止
    void saveKeywords(); // 保存…
    void useKeywords(); // 用于搜索
    bool running() const;
    // Keywords found by the last run, seeds included.
    qint64 foundCount() const;
    QString statusText() const;
    // The file 用于搜索 writes.
    QString handOverPath() const;

    // The search run's window.
    int intervalSetting() override;
    void setIntervalSetting(int seconds) override;
    bool dedupeChecked() override { return false; }
    void setDedupeChecked(bool) override { }
    QString keywordFileText() override { return {}; }
    void setKeywordFileText(const QString&) override { }
    void setPanelText(int panel, const QString& text) override;
    void showNotice(const harvest::RunNotice& notice) override;
    void setCommandsEnabled(bool search, bool stop, bool import) override;
    void repaintNow() override { repaint(); }
    int resultRowCount() override { return 0; }
    void clearResults() override { }
    void appendResults(const harvest::HarvestedRows&) override { }
    std::optional<QString> inputQuery(const QString&, const QString&, const QString&) override;
    void informationBox(const QString& text) override;
    void plainMessage(const QString& text) override;
    void reportError(const QString& text) override;

protected:
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* buildSettings();
    QWidget* buildCommands();
    void makeMiner();
    void onRelated(int index, const QList<QString>& related);
    void feedRun();
    void onFinished();
    void showProgress();
    void requireKeywords() const;

    Options m_options;
    QPlainTextEdit* m_seedsEdit = nullptr;
    QSpinBox* m_depthSpin = nullptr;
    QSpinBox* m_maxSpin = nullptr;
    QSpinBox* m_intervalSpin = nullptr;
    QLineEdit* m_requireEdit = nullptr;
    QLineEdit* m_excludeEdit = nullptr;
    QComboBox* m_engineBox = nullptr;
    QPushButton* m_startButton = nullptr;
    QPushButton* m_stopButton = nullptr;
    QPushButton* m_saveButton = nullptr;
    QPushButton* m_useButton = nullptr;
    QStandardItemModel* m_found = nullptr;
    QTreeView* m_foundList = nullptr;
    QLabel* m_status = nullptr;
    QVBoxLayout* m_browserColumn = nullptr;
    QLabel* m_browserNote = nullptr; // in the browser's place till the first run
    ui::FileDialog m_saveDialog;
    std::unique_ptr<tools::KeywordMiner> m_miner;
    std::unique_ptr<HarvestAssembly> m_harvest;
    bool m_full = false; // the list is full: the run was stopped for it
};

} // namespace tess::app
