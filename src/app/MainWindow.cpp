#include "app/MainWindow.h"

#include "app/EngineChooser.h"
#include "app/Glyphs.h"
#include "app/ResultsModel.h"
#include "app/WindowTray.h"
#include "browser/cleaner/ProfileCleaner.h"
#include "browser/webengine/WebEngineBrowserHost.h"
#include "browser/webengine/WebEngineBrowserProfile.h"
#include "components/tray/qt/QtTaskbarIcon.h"
#include "harvest/RowFormats.h"
#include "harvest/RunTexts.h"
#include "harvest/StateFile.h"
#include "harvest/WorkbookWriter.h"
#include "io/ExeDir.h"
#include "io/FileReplace.h"
#include "sites/SiteAddress.h"
#include "text/Errors.h"
#include "text/Gbk.h"
#include "text/Integer.h"
#include "tools/import/KeywordImport.h"
#include "tools/merge/BackgroundMerge.h"
#include "ui/Application.h"
#include "ui/WindowPlacement.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>

#include <QDialog>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSet>
#include <QShortcut>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace tess::app {
namespace {

const QString kTextFilter = QStringLiteral("Text files(*.txt)|*.txt|All files(*.*)|*.*");
// Save results: the scratch file's layout, or CSV for spreadsheets.
const QString kResultsFilter = QStringLiteral("文本文件 TSV(*.txt)|*.txt|CSV 文件(*.csv)|*.csv|"
                                              "JSON Lines 文件(*.jsonl)|*.jsonl|Excel 工作簿(*.xlsx)|*.xlsx|"
                                              "所有文件(*.*)|*.*");
// The filters that name their format, in the order above; the others go by
// the file name's extension.
constexpr harvest::RowFormat kResultsFilterFormats[]
    = { harvest::RowFormat::Csv, harvest::RowFormat::Jsonl, harvest::RowFormat::Xlsx };
constexpr int kResultsFirstFormatFilter = 1;
const QString kChineseFilter = QStringLiteral("文本文件(*.txt)|*.txt|所有文件(*.*)|*.*");
constexpr int kPanelWidths[7] = { 39, 50, 39, 50, 39, 50, 50 };
// The last panel carries the messages: the run's and the merge's.
constexpr size_t kMessagePanel = 6;

// Status bar texts the window keeps itself.
const QString kStatusIdle = QStringLiteral("欢迎使用 Tessaroon");
// The message panel while a merge runs; its percentage follows.
const QString kMergeWorking = QStringLiteral("数据正处理中...");

// Rule files not taken beyond this many are counted, not listed: the box
// stays readable however many there are.
constexpr qsizetype kMaxListedRuleFiles = 50;

// What the run uses instead of the file's set.
QString notTakenNote(const harvest::RuleFileNotTaken& error)
{
    using Standing = harvest::RuleFileNotTaken::Standing;
    switch (error.standing) {
    case Standing::BuiltIn:
        return QStringLiteral("此文件未被采用，仍使用内置规则。");
    case Standing::FromOtherFile:
        return QStringLiteral("此文件未被采用，规则 %1 沿用其他规则文件的设置。").arg(error.setName);
    case Standing::Missing:
        return QStringLiteral("此文件未被采用，规则 %1 不可用。").arg(error.setName);
    case Standing::Unnamed:
        break;
    }
    return QStringLiteral("此文件未被采用。");
}

// Each file's message and what it means for its set, the first ones only.
QStringList ruleFileEntries(const QList<harvest::RuleFileNotTaken>& errors)
{
    QStringList entries;
    for (const harvest::RuleFileNotTaken& error : errors.first(std::min(errors.size(), kMaxListedRuleFiles)))
        entries.append(error.message + u'\n' + notTakenNote(error));
    if (errors.size() > kMaxListedRuleFiles)
        entries.append(QStringLiteral("……以及另外 %1 个").arg(errors.size() - kMaxListedRuleFiles));
    return entries;
}

} // namespace

MainWindow::MainWindow(Options options)
    : m_options(std::move(options))
    , m_scratch(io::exeDir() + QStringLiteral("mirovadel.tmp"))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("『Tessaroon』V2.0 —— 网址搜索采集工具  support@tessaroon.example"));
    setWindowIcon(glyphs::programIcon());

    m_harvest = std::make_unique<HarvestAssembly>(HarvestAssembly::Options { .window = *this,
        .profileFolder = m_options.profileFolder,
        .viewParent = this,
        .engineHosts = m_options.engineHosts,
        .statePath = statePath(),
        .localAddress = m_options.localAddress,
        .clearBrowserData = [this] { clearBrowserData(); },
        .log = &m_scratch,
        .runTick = [](const std::function<void()>& tick) { ui::guarded(tick); },
        .verificationNeeded
        = [this] { m_tray->callForAttention(QStringLiteral("搜索引擎要求验证，请在浏览器中完成验证")); } });
    m_browserView = browserHost().view();
    m_browserView->setObjectName(QStringLiteral("WebBrowser1"));
    m_browserProfile = std::make_unique<browser::WebEngineBrowserProfile>(
        browserHost().profile(), [host = &browserHost()] {
            // The page of the moment: the host puts a fresh one in place of
            // a page it gave up.
            if (QWebEnginePage* page = host->page())
                page->history()->clear();
        });

    buildToolbar();
    buildCentralArea();
    buildStatusBar();
    setUpFileDialogs();

    m_merge = new tools::BackgroundMerge(this);
    connect(m_merge, &tools::BackgroundMerge::progress, this, [this](int percent) {
        m_panels[kMessagePanel]->setText(QStringLiteral("%1 %2%").arg(kMergeWorking).arg(percent));
    });
    connect(m_merge, &tools::BackgroundMerge::finished, this, &MainWindow::mergeFinished);

    auto* cleanerKey = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+Delete")), this);
    connect(cleanerKey, &QShortcut::activated, this, [this] { ui::guarded([this] { showCleaner(); }); });
    auto* listKey = new QShortcut(QKeySequence(QStringLiteral("Ctrl+L")), this);
    connect(listKey, &QShortcut::activated, this, [this] { ui::guarded([this] { openListTool(); }); });

    chooseEngines(m_options.rules);
    connect(m_rulesBox, &EngineChooser::chosenChanged, this, [this](const QStringList& names) {
        chooseEngines(names);
        if (m_options.rulesChosen)
            m_options.rulesChosen(names.join(QLatin1Char(',')));
    });

    resize(576, 439);
    ui::centreOnScreen(*this);
    ui::setBoxOwner([this] { return boxParent(); });
    m_scratch.onWriteFailure = [this](const QString& message) { reportError(message); };

    startUp();
}

MainWindow::~MainWindow()
{
    ui::setBoxOwner({});
    shutDown();
    // The tray icon, then the run, go before the browser they use.
    m_tray.reset();
    m_harvest.reset();
}

void MainWindow::setSecondaryWindows(QDialog* about, QDialog* builder, QDialog* cleaner, QDialog* listTool)
{
    m_aboutWindow = about;
    m_builderWindow = builder;
    m_cleanerWindow = cleaner;
    m_listToolWindow = listTool;
}

components::QtTaskbarIcon& MainWindow::trayIcon() { return m_tray->icon(); }

browser::BrowserProfile& MainWindow::browserProfile() { return *m_browserProfile; }

QString MainWindow::statePath() const { return io::exeDir() + QLatin1String(harvest::kStateFileName); }

void MainWindow::buildToolbar()
{
    auto* toolbar = new QToolBar(this);
    toolbar->setObjectName(QStringLiteral("CoolBar1"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setFixedHeight(30);
    toolbar->setIconSize(QSize(16, 16));
    toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, toolbar);

    auto add = [&](const char* name, const QString& caption, const QString& hint, const QIcon& glyph,
                   void (MainWindow::*handler)()) {
        auto* b = new QToolButton(toolbar);
        b->setObjectName(QLatin1String(name));
        b->setText(caption);
        b->setToolTip(hint);
        b->setIcon(glyph);
        b->setAutoRaise(true);
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setFixedSize(55, 23);
        toolbar->addWidget(b);
        connect(b, &QToolButton::clicked, this,
            [this, handler] { ui::guarded([this, handler] { (this->*handler)(); }); });
        return b;
    };
    m_importButton = add("SpeedButton4", QStringLiteral("导入"), QStringLiteral("导入关键字列表"),
        glyphs::importList(), &MainWindow::importKeywords);
    m_searchButton = add("SpeedButton2", QStringLiteral("搜索"), QStringLiteral("开始网址搜索"),
        glyphs::search(), &MainWindow::startSearch);
    m_stopButton = add("SpeedButton3", QStringLiteral("终止"), QStringLiteral("终止网址搜索"), glyphs::stop(),
        &MainWindow::stopSearch);
    m_saveButton = add("SpeedButton5", QStringLiteral("保存"), QStringLiteral("保存搜索结果"),
        glyphs::saveResults(), &MainWindow::saveResults);
    m_progressButton = add("SpeedButton8", QStringLiteral("进程"), QStringLiteral("保存搜索进程"),
        glyphs::saveProgress(), &MainWindow::saveProgress);
    m_createButton = add("SpeedButton6", QStringLiteral("创建"), QStringLiteral("创建搜索文件"),
        glyphs::create(), &MainWindow::openKeywordListBuilder);
    m_mergeButton = add("SpeedButton1", QStringLiteral("合并"), QStringLiteral("合并网址列表"),
        glyphs::merge(), &MainWindow::mergeLists);
    m_listButton = add("ListToolButton", QStringLiteral("列表"),
        QStringLiteral("列表工具：截取、去重、过滤、相减、分割、统计网址列表"), glyphs::listTool(),
        &MainWindow::openListTool);
    m_aboutButton = add("SpeedButton9", QStringLiteral("关于"), QStringLiteral("关于本软件"), glyphs::about(),
        &MainWindow::showAbout);
    m_exitButton = add("SpeedButton10", QStringLiteral("退出"), QStringLiteral("退出软件系统"),
        glyphs::exitProgram(), &MainWindow::quit);
}

void MainWindow::buildCentralArea()
{
    auto* client = new QWidget(this);
    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(buildOptionsRow());
    column->addWidget(buildExclusionRow());
    m_resultsModel
        = new ResultsModel([this](const QString& engine) { return m_rulesBox->labelOf(engine); }, this);
    m_resultsList = new QTreeView(client);
    m_resultsList->setObjectName(QStringLiteral("ListView1"));
    m_resultsList->setModel(m_resultsModel);
    m_resultsList->setColumnWidth(ResultsModel::AddressColumn, 175);
    m_resultsList->setColumnWidth(ResultsModel::TitleColumn, 350);
    m_resultsList->setColumnWidth(ResultsModel::KeywordColumn, 100);
    m_resultsList->setColumnWidth(ResultsModel::EngineColumn, 70);
    m_resultsList->setColumnWidth(ResultsModel::RankColumn, 44);
    m_resultsList->setRootIsDecorated(false);
    m_resultsList->setItemsExpandable(false);
    m_resultsList->header()->setStretchLastSection(false);
    m_resultsList->setUniformRowHeights(true);
    m_resultsList->setFixedHeight(129);
    column->addWidget(m_resultsList);
    column->addWidget(buildVerificationBar());
    column->addWidget(m_browserView, 1);
    setCentralWidget(client);
}

void MainWindow::setUpFileDialogs()
{
    m_importDialog = { QStringLiteral("导入关键字列表文件"), kTextFilter, QStringLiteral("txt"), {}, {},
        false, false, false };
    m_mergeSourcesDialog = { QStringLiteral("选择待合并的数据文件"), kChineseFilter, QStringLiteral("*.txt"),
        {}, {}, true, true, false };
    m_mergeTargetDialog = { QStringLiteral("合并后的数据文件保存为"), kChineseFilter, QStringLiteral("*.txt"),
        {}, {}, false, false, true };
    m_saveResultsDialog = { QStringLiteral("搜索结果保存为"), kResultsFilter, QStringLiteral("txt"), {}, {},
        false, false, true };
    m_excludeListDialog = { QStringLiteral("选择排除列表文件"), kTextFilter, QStringLiteral("txt"), {}, {},
        false, false, false };
}

QWidget* MainWindow::buildExclusionRow()
{
    auto* row = new QWidget;
    row->setObjectName(QStringLiteral("ExclusionRow"));
    row->setFixedHeight(26);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(6, 0, 6, 2);
    h->setSpacing(6);
    h->addWidget(new QLabel(QStringLiteral("排除列表："), row));
    m_excludeListEdit = new QLineEdit(row);
    m_excludeListEdit->setObjectName(QStringLiteral("ExcludeListEdit"));
    m_excludeListEdit->setReadOnly(true);
    m_excludeListEdit->setPlaceholderText(QStringLiteral("无：列出不要采集的域名或网址，每行一个"));
    h->addWidget(m_excludeListEdit, 1);
    auto* choose = new QToolButton(row);
    choose->setObjectName(QStringLiteral("ExcludeListButton"));
    choose->setText(QStringLiteral("排除列表…"));
    connect(choose, &QToolButton::clicked, this, [this] { ui::guarded([this] { chooseExclusionList(); }); });
    h->addWidget(choose);
    auto* clear = new QToolButton(row);
    clear->setObjectName(QStringLiteral("ExcludeListClear"));
    clear->setText(QStringLiteral("清除"));
    connect(clear, &QToolButton::clicked, this, [this] { ui::guarded([this] { useExclusionList({}); }); });
    h->addWidget(clear);
    // The options row above has no room left.
    h->addSpacing(8);
    h->addWidget(buildSkipAdsBox(row));
    return row;
}

void MainWindow::chooseExclusionList()
{
    const QStringList chosen = ui::dialogs().openFiles(boxParent(), m_excludeListDialog);
    if (!chosen.isEmpty())
        useExclusionList(chosen.first());
}

void MainWindow::useExclusionList(const QString& path)
{
    // Read before anything changes: a file that cannot be read leaves the
    // list in use as it was.
    sites::SiteList list = path.isEmpty() ? sites::SiteList() : sites::SiteList::load(path);
    run().setExcludedSites(std::move(list));
    m_excludeListEdit->setText(path);
    m_excludeListEdit->setToolTip(path.isEmpty()
            ? QString()
            : QStringLiteral("%1：%2 个域名或网址").arg(path).arg(run().excludedSites().size()));
    if (m_options.excludeListChosen)
        m_options.excludeListChosen(path);
}

QWidget* MainWindow::buildVerificationBar()
{
    // Over the browser the user passes the engine's check in, while the run
    // waits: what is asked, and the way out for that engine.
    m_verificationBar = new QFrame;
    m_verificationBar->setObjectName(QStringLiteral("VerificationBar"));
    m_verificationBar->setFrameShape(QFrame::StyledPanel);
    m_verificationBar->setStyleSheet(QStringLiteral("#VerificationBar { background: #fff3c4; }"));
    auto* h = new QHBoxLayout(m_verificationBar);
    h->setContentsMargins(6, 2, 6, 2);
    m_verificationText = new QLabel(m_verificationBar);
    m_verificationText->setWordWrap(true);
    h->addWidget(m_verificationText, 1);
    auto* skip = new QPushButton(QStringLiteral("跳过此引擎"), m_verificationBar);
    skip->setObjectName(QStringLiteral("SkipEngineButton"));
    skip->setToolTip(QStringLiteral("本次搜索不再使用这个引擎，其余引擎继续搜索"));
    connect(skip, &QPushButton::clicked, this, [this] { ui::guarded([this] { skipEngine(); }); });
    h->addWidget(skip);
    m_verificationBar->hide();
    return m_verificationBar;
}

QCheckBox* MainWindow::buildSkipAdsBox(QWidget* row)
{
    auto* box = new QCheckBox(QStringLiteral("不要广告"), row);
    box->setObjectName(QStringLiteral("NoAdsBox"));
    box->setLayoutDirection(Qt::RightToLeft);
    box->setToolTip(QStringLiteral("勾选后，不采集搜索引擎的推广（广告）链接"));
    box->setChecked(m_options.skipAds);
    run().setTakeAds(!m_options.skipAds);
    connect(box, &QCheckBox::toggled, this, [this](bool skip) {
        run().setTakeAds(!skip);
        if (m_options.skipAdsChosen)
            m_options.skipAdsChosen(skip);
    });
    return box;
}

QWidget* MainWindow::buildOptionsRow()
{
    auto* row = new QWidget(this);
    row->setObjectName(QStringLiteral("OptionsRow"));
    row->setFixedHeight(28);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(6, 2, 6, 2);
    h->setSpacing(6);
    h->addWidget(new QLabel(QStringLiteral("搜索间隔[秒]："), row));
    m_intervalSpin = new QSpinBox(row);
    m_intervalSpin->setObjectName(QStringLiteral("SpinEdit1"));
    m_intervalSpin->setRange(1, 1000);
    m_intervalSpin->setValue(5);
    m_intervalSpin->setFixedWidth(60);
    h->addWidget(m_intervalSpin);
    m_dedupeCheck = new QCheckBox(QStringLiteral("去重"), row);
    m_dedupeCheck->setObjectName(QStringLiteral("CheckBox1"));
    m_dedupeCheck->setLayoutDirection(Qt::RightToLeft); // caption on the left
    m_dedupeCheck->setToolTip(QStringLiteral("勾选后，本次搜索中已采集过的网址不再重复采集"));
    h->addWidget(m_dedupeCheck);
    m_onePerSiteCheck = new QCheckBox(QStringLiteral("按站点"), row);
    m_onePerSiteCheck->setObjectName(QStringLiteral("SiteUniqueBox"));
    m_onePerSiteCheck->setLayoutDirection(Qt::RightToLeft);
    m_onePerSiteCheck->setToolTip(QStringLiteral("勾选后，本次搜索中每个站点（注册域名）只采集第一个网址"));
    connect(m_onePerSiteCheck, &QCheckBox::toggled, this, [this](bool on) { run().setOnePerSite(on); });
    h->addWidget(m_onePerSiteCheck);
    h->addSpacing(8);
    h->addWidget(new QLabel(QStringLiteral("规则："), row));
    m_rulesBox = new EngineChooser(row);
    m_rulesBox->setObjectName(QStringLiteral("RulesBox"));
    if (m_options.ruleSets.isEmpty())
        m_options.ruleSets = harvest::builtInRuleSets();
    m_rulesBox->setSets(m_options.ruleSets);
    h->addWidget(m_rulesBox);
    h->addSpacing(8);
    h->addWidget(new QLabel(QStringLiteral("搜索文件："), row));
    m_keywordFileEdit = new QLineEdit(row);
    m_keywordFileEdit->setObjectName(QStringLiteral("Edit5"));
    m_keywordFileEdit->setReadOnly(true);
    h->addWidget(m_keywordFileEdit, 1);
    return row;
}

void MainWindow::buildStatusBar()
{
    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(true);
    const QString fixed[7] = { QStringLiteral("总数："), {}, QStringLiteral("进程："), {},
        QStringLiteral("数量："), {}, kStatusIdle };
    for (int i = 0; i < 7; ++i) {
        auto* label = new QLabel(fixed[i], bar);
        label->setObjectName(QStringLiteral("Panel%1").arg(i));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setMinimumWidth(kPanelWidths[i]);
        if (i < 6)
            label->setFixedWidth(kPanelWidths[i]);
        bar->addWidget(label, i == 6 ? 1 : 0);
        m_panels[static_cast<size_t>(i)] = label;
    }
    setStatusBar(bar);
}

void MainWindow::startUp()
{
    // Tooltips in lime green.
    QPalette tips = QToolTip::palette();
    tips.setColor(QPalette::ToolTipBase, QColor(0, 255, 0));
    tips.setColor(QPalette::ToolTipText, Qt::black);
    QToolTip::setPalette(tips);
    m_tray = std::make_unique<WindowTray>(
        *this, WindowTray::Options { .trayAvailable = m_options.trayAvailable, .quit = [this] { quit(); } });
    try {
        run().loadState();
    } catch (const std::exception&) {
        // The program starts with whatever the state file gave before the
        // bad line; the error is shown once the window is up.
        QTimer::singleShot(0, this,
            [error = std::current_exception()] { ui::guarded([&] { std::rethrow_exception(error); }); });
    }
    if (!m_options.excludeList.isEmpty()) {
        try {
            useExclusionList(m_options.excludeList);
        } catch (const text::AppError& e) {
            // Gone since last time, say: the user hears of it and chooses again.
            QTimer::singleShot(0, this, [this, message = e.message()] {
                ui::dialogs().standardError(boxParent(), QStringLiteral("排除列表无法读取：%1").arg(message));
            });
        }
    }
    // Once the window is there to go over, in one box however many.
    if (!m_options.ruleFileErrors.isEmpty())
        QTimer::singleShot(0, this, [this] { reportRuleFileErrors(); });
    // Rows of a run the program never finished (killed, crashed, a power
    // cut) wait for 保存 until the next 搜索.
    if (const qint64 rows = m_scratch.recover(); rows > 0)
        setPanelText(harvest::PanelStatus,
            QStringLiteral("上次搜索意外中断，留下 %1 条结果，可点击“保存”保存").arg(rows));
}

void MainWindow::shutDown()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    stopMerge();
    m_harvest->pollTimer().setEnabled(false);
    m_harvest->watchdogTimer().setEnabled(false);
    run().keywordList().clear();
    m_scratch.remove();
}

bool MainWindow::confirmClose()
{
    return ui::dialogs().confirm(boxParent(), QStringLiteral("确认退出Tessaroon吗?"));
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    bool close = false;
    ui::guarded([&] { close = confirmClose(); });
    if (!close) {
        event->ignore();
        return;
    }
    event->accept();
    shutDown();
    // The window may be hidden in the tray: end the program explicitly.
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

// --- Commands -----------------------------------------------------------

void MainWindow::importKeywords()
{
    m_importDialog.initialDir = io::exeDir();
    const QStringList chosen = ui::dialogs().openFiles(boxParent(), m_importDialog);
    if (chosen.isEmpty())
        return;
    importKeywordFile(chosen.first());
}

void MainWindow::importMinedKeywords(const QString& path)
{
    if (!m_importButton->isEnabled())
        throw text::AppError(QStringLiteral("正在搜索，请先终止搜索再导入挖掘的关键词"));
    importKeywordFile(path);
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::importKeywordFile(const QString& path)
{
    m_keywordFileEdit->setText(path);
    repaintNow();
    const qsizetype count = tools::countFileLines(path);
    setPanelText(harvest::PanelKeywordCount, QString::number(count));
    // Read once: for its encoding, then for its keywords.
    const QByteArray bytes = io::readWholeFile(path);
    if (const std::optional<QString> utf16 = tools::detectUtf16(bytes))
        throw text::AppError(
            QStringLiteral("关键字列表文件是 %1 编码，请另存为 GBK 后再导入：%2").arg(*utf16, path));
    harvest::KeywordList& keywords = run().keywordList();
    keywords.clear();
    keywords = tools::splitList(bytes);
    clearResults();
    // The count reads the file as lines, the list as keywords: they part
    // on lone CRs, NUL bytes and byte 26. Say so when they do, so that the
    // number the run goes by is never a surprise.
    if (keywords.size() != count)
        setPanelText(harvest::PanelStatus,
            QStringLiteral("文件共 %1 行，读入关键字 %2 个").arg(count).arg(keywords.size()));
}

void MainWindow::startSearch() { run().start(); }

void MainWindow::stopSearch() { run().stop(); }

void MainWindow::saveResults()
{
    const std::optional<QString> target = ui::dialogs().saveFile(boxParent(), m_saveResultsDialog);
    if (!target)
        return;
    // Every row of the run with where it came from, not only the ones still
    // on screen, in the format the filter or the name asks for, as the
    // command line writes it.
    const int filter = m_saveResultsDialog.chosenFilter - kResultsFirstFormatFilter;
    const harvest::RowFormat format = filter >= 0 && filter < int(std::size(kResultsFilterFormats))
        ? kResultsFilterFormats[filter]
        : harvest::rowFormatForFileName(*target);
    const harvest::HarvestedRows rows = m_scratch.rows();
    // TSV keeps the two columns saved files have always had, and the engine
    // third when the run asks more than one.
    QSet<QString> engines;
    for (const harvest::HarvestedRow& row : rows)
        engines.insert(row.engine);
    const bool withEngine = run().engines().size() > 1 || engines.size() > 1;
    const harvest::RowColumns columns = harvest::defaultRowColumns(format, withEngine);
    if (format == harvest::RowFormat::Xlsx)
        harvest::saveWorkbook(*target, columns, rows);
    else
        io::replaceFile(*target, harvest::formatRows(format, columns, rows));
}

void MainWindow::saveProgress()
{
    run().saveState();
    plainMessage(QStringLiteral("已经保存当前网址搜索进程"));
}

void MainWindow::openKeywordListBuilder()
{
    if (m_builderWindow)
        m_builderWindow->exec();
}

void MainWindow::mergeLists()
{
    if (m_merge->running())
        return;
    const QStringList sources = ui::dialogs().openFiles(boxParent(), m_mergeSourcesDialog);
    if (sources.isEmpty())
        return;
    const std::optional<QString> target = ui::dialogs().saveFile(boxParent(), m_mergeTargetDialog);
    if (!target)
        return;
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    m_panels[kMessagePanel]->setText(kMergeWorking);
    repaintNow();
    m_mergeButton->setEnabled(false);
    m_merge->start(sources, *target);
}

void MainWindow::mergeFinished(const QString& doneText, std::exception_ptr error)
{
    QGuiApplication::restoreOverrideCursor();
    m_mergeButton->setEnabled(true);
    // A failed merge leaves the working text in the panel and shows its
    // error.
    m_panels[kMessagePanel]->setText(doneText.isEmpty() ? kMergeWorking : doneText);
    if (error)
        ui::guarded([&] { std::rethrow_exception(error); });
}

void MainWindow::stopMerge()
{
    if (!m_merge->running())
        return;
    m_merge->stop();
    QGuiApplication::restoreOverrideCursor();
    m_mergeButton->setEnabled(true);
}

void MainWindow::openListTool()
{
    if (m_listToolWindow)
        m_listToolWindow->exec();
}

bool MainWindow::mergeRunning() const { return m_merge->running(); }

bool MainWindow::mergeStopping() const { return m_merge->stopping(); }

void MainWindow::showAbout()
{
    if (m_aboutWindow)
        m_aboutWindow->exec();
}

void MainWindow::quit() { close(); }

void MainWindow::showCleaner()
{
    if (m_cleanerWindow)
        m_cleanerWindow->exec();
}

void MainWindow::chooseEngines(const QStringList& names)
{
    m_rulesBox->setChosen(names);
    QList<harvest::SearchEngine> engines;
    for (const harvest::RuleSet& rules : m_rulesBox->chosenSets())
        engines.append(harvest::engineOnDefaultHost(rules));
    // An address for an engine not chosen is kept for when it is.
    for (const QByteArray& item : std::as_const(m_options.engineHosts))
        harvest::applyEngineHosts(engines, { item });
    run().setEngines(engines);
}

void MainWindow::skipEngine() { run().skipEngine(); }

void MainWindow::reportRuleFileErrors()
{
    const QList<harvest::RuleFileNotTaken>& errors = m_options.ruleFileErrors;
    ui::dialogs().listMessage(
        boxParent(), QStringLiteral("%1 个规则文件有误：").arg(errors.size()), ruleFileEntries(errors));
}

QWidget* MainWindow::boxParent()
{
    if (isHidden())
        m_tray->showFromTray();
    return this;
}

void MainWindow::reportError(const QString& text)
{
    // Shown from the event loop, not from inside the run's step that met
    // the error.
    QTimer::singleShot(0, this, [this, text] { ui::dialogs().standardError(boxParent(), text); });
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_outerSizeSet)
        return;
    m_outerSizeSet = true;
    // 576 × 439 is the size of the whole window, frame included; the frame
    // is known only once the window manager has framed the window.
    QTimer::singleShot(200, this, [this] {
        if (isMaximized() || isMinimized())
            return;
        const QSize frame = frameGeometry().size() - geometry().size();
        resize(QSize(576, 439) - frame);
        ui::centreOnScreen(*this);
    });
}

void MainWindow::clearBrowserData()
{
    // Only the history: emptying the page cache while the first request is
    // on its way stalls that load (the cache is cleared in the background),
    // so the cache is left to the cleaner window.
    try {
        browser::clearHistory(*m_browserProfile);
    } catch (const std::exception&) {
        // Silent, as the cleaner is.
    }
}

// --- What the run needs of the window -------------------------------------

int MainWindow::intervalSetting()
{
    // The box corrects a typed value only when it loses the focus; until
    // then a value that is not a whole number reads as 1, and one outside
    // the box's range as its nearest end.
    try {
        return std::clamp(text::toInteger(QStringView(m_intervalSpin->text()).trimmed()), 1, 1000);
    } catch (const text::ConvertError&) {
        return 1;
    }
}

void MainWindow::setIntervalSetting(int seconds) { m_intervalSpin->setValue(std::clamp(seconds, 1, 1000)); }

bool MainWindow::dedupeChecked() { return m_dedupeCheck->isChecked(); }

void MainWindow::setDedupeChecked(bool checked) { m_dedupeCheck->setChecked(checked); }

QString MainWindow::keywordFileText() { return m_keywordFileEdit->text(); }

void MainWindow::setKeywordFileText(const QString& text) { m_keywordFileEdit->setText(text); }

void MainWindow::setPanelText(int panel, const QString& text)
{
    m_panels.at(static_cast<size_t>(panel))->setText(text);
}

QString MainWindow::panelText(int panel) const { return m_panels.at(static_cast<size_t>(panel))->text(); }

void MainWindow::showNotice(const harvest::RunNotice& notice)
{
    setPanelText(harvest::PanelStatus, harvest::runNoticeText(notice));
    // 跳过此引擎 is there while the run waits for a verification only.
    if (notice.kind == harvest::RunNoticeKind::VerificationNeeded) {
        m_verificationText->setText(harvest::runNoticeText(notice));
        m_verificationBar->show();
    } else if (notice.kind != harvest::RunNoticeKind::BrowserNote) {
        m_verificationBar->hide();
    }
}

void MainWindow::setCommandsEnabled(bool search, bool stop, bool import)
{
    m_searchButton->setEnabled(search);
    m_stopButton->setEnabled(stop);
    m_importButton->setEnabled(import);
    // A run keeps the rules it started with.
    m_rulesBox->setEnabled(search);
}

void MainWindow::repaintNow() { repaint(); }

int MainWindow::resultRowCount() { return m_resultsModel->rowCount(); }

void MainWindow::clearResults() { m_resultsModel->clear(); }

void MainWindow::appendResults(const harvest::HarvestedRows& rows)
{
    m_resultsModel->append(rows);
    m_resultsList->scrollToBottom();
}

std::optional<QString> MainWindow::inputQuery(
    const QString& caption, const QString& prompt, const QString& value)
{
    return ui::dialogs().inputQuery(boxParent(), caption, prompt, value);
}

void MainWindow::informationBox(const QString& text) { ui::dialogs().information(boxParent(), text); }

void MainWindow::plainMessage(const QString& text) { ui::dialogs().plainMessage(boxParent(), text); }

} // namespace tess::app
