#include "app/MainWindow.h"

#include "app/Glyphs.h"
#include "browser/cleaner/DelIECache.h"
#include "browser/webengine/WebEngineBrowserHost.h"
#include "browser/webengine/WebEngineBrowserProfile.h"
#include "components/tray/qt/QtTaskbarIcon.h"
#include "harvest/RowFormats.h"
#include "harvest/RunTexts.h"
#include "harvest/StateFile.h"
#include "text/Errors.h"
#include "text/ExeDir.h"
#include "text/Gbk.h"
#include "text/Integer.h"
#include "text/TextFile.h"
#include "tools/import/KeywordImport.h"
#include "tools/merge/AddressMerge.h"
#include "ui/Application.h"
#include "ui/WindowPlacement.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QShortcut>
#include <QSpinBox>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <atomic>
#include <thread>

namespace tess::app {
namespace {

const QString TextFilter = QStringLiteral("Text files(*.txt)|*.txt|All files(*.*)|*.*");
// Save results: the scratch file's layout, or CSV for spreadsheets.
const QString ResultsFilter
    = QStringLiteral("Text files(*.txt)|*.txt|CSV files(*.csv)|*.csv|All files(*.*)|*.*");
constexpr int ResultsCsvFilter = 1;
const QString ChineseFilter = QStringLiteral("文本文件(*.txt)|*.txt|所有文件(*.*)|*.*");
constexpr int PanelWidths[7] = { 39, 50, 39, 50, 39, 50, 50 };
// The last panel carries the messages: the run's and the merge's.
constexpr size_t MessagePanel = 6;

// Status bar texts the window keeps itself.
const QString StatusIdle = QStringLiteral("欢迎使用 Tessaroon");

} // namespace

TForm1::TForm1(Options options)
    : m_options(std::move(options))
    , m_scratch(text::exeDir() + QStringLiteral("mirovadel.tmp"))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("『Tessaroon』V2.0 —— 网址搜索采集工具  support@tessaroon.example"));
    setWindowIcon(glyphs::programIcon());

    m_harvest = std::make_unique<HarvestAssembly>(HarvestAssembly::Options { .window = *this,
        .profileFolder = m_options.profileFolder,
        .viewParent = this,
        .engineHost = m_options.engineHost,
        .statePath = statePath(),
        .localAddress = m_options.localAddress,
        .clearBrowserData = [this] { clearBrowserData(); },
        .log = &m_scratch,
        .runTick = [](const std::function<void()>& tick) { ui::guarded(tick); },
        .verificationNeeded
        = [this] { callForAttention(QStringLiteral("搜索引擎要求验证，请在浏览器中完成验证")); } });
    WebBrowser1 = browserHost().view();
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    m_browserProfile = std::make_unique<browser::WebEngineBrowserProfile>(
        browserHost().profile(), [host = &browserHost()] {
            // The page of the moment: the host puts a fresh one in place of
            // a page it gave up.
            if (QWebEnginePage* page = host->page())
                page->history()->clear();
        });

    buildToolbar();
    auto* client = new QWidget(this);
    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(buildOptionsRow());
    ListView1 = new QTreeWidget(client);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setHeaderLabels({ QStringLiteral("网址"), QStringLiteral("标题") });
    ListView1->setColumnWidth(0, 175);
    ListView1->setColumnWidth(1, 350);
    ListView1->setRootIsDecorated(false);
    ListView1->header()->setStretchLastSection(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setFixedHeight(129);
    column->addWidget(ListView1);
    column->addWidget(WebBrowser1, 1);
    setCentralWidget(client);
    buildStatusBar();

    OpenDialog1 = { QStringLiteral("导入关键字列表文件"), TextFilter, QStringLiteral("txt"), {}, {}, false,
        false, false };
    OpenDialog8 = { QStringLiteral("选择待合并的数据文件"), ChineseFilter, QStringLiteral("*.txt"), {}, {},
        true, true, false };
    SaveDialog8 = { QStringLiteral("合并后的数据文件保存为"), ChineseFilter, QStringLiteral("*.txt"), {}, {},
        false, false, true };
    SaveDialog1 = { QStringLiteral("搜索结果保存为"), ResultsFilter, QStringLiteral("txt"), {}, {}, false,
        false, true };

    auto* cleanerKey = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+Delete")), this);
    connect(cleanerKey, &QShortcut::activated, this, [this] { ui::guarded([this] { ShowCleaner(); }); });

    chooseRules(std::max(0, RulesBox->findData(m_options.rules)));
    connect(RulesBox, &QComboBox::activated, this, [this](int index) {
        chooseRules(index);
        if (m_options.rulesChosen)
            m_options.rulesChosen(RulesBox->itemData(index).toString());
    });

    resize(576, 439);
    ui::centreOnScreen(*this);
    ui::setBoxOwner([this] { return boxParent(); });
    m_scratch.onWriteFailure = [this](const QString& message) { reportError(message); };

    FormCreate();
}

TForm1::~TForm1()
{
    ui::setBoxOwner({});
    FormDestroy();
    qDeleteAll(m_pendingRows);
    // The tray icon, then the run, go before the browser they use.
    antTaskbarIcon1.reset();
    m_harvest.reset();
}

void TForm1::setSecondaryWindows(QDialog* about, QDialog* builder, QDialog* cleaner)
{
    Form2 = about;
    Form3 = builder;
    delform = cleaner;
}

browser::BrowserProfile& TForm1::browserProfile() { return *m_browserProfile; }

QString TForm1::statePath() const { return text::exeDir() + QLatin1String(harvest::kStateFileName); }

void TForm1::buildToolbar()
{
    auto* CoolBar1 = new QToolBar(this);
    CoolBar1->setObjectName(QStringLiteral("CoolBar1"));
    CoolBar1->setMovable(false);
    CoolBar1->setFloatable(false);
    CoolBar1->setFixedHeight(30);
    CoolBar1->setIconSize(QSize(16, 16));
    CoolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, CoolBar1);

    auto add = [&](const char* name, const QString& caption, const QString& hint, const QIcon& glyph,
                   void (TForm1::*handler)()) {
        auto* b = new QToolButton(CoolBar1);
        b->setObjectName(QLatin1String(name));
        b->setText(caption);
        b->setToolTip(hint);
        b->setIcon(glyph);
        b->setAutoRaise(true);
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setFixedSize(55, 23);
        CoolBar1->addWidget(b);
        connect(b, &QToolButton::clicked, this,
            [this, handler] { ui::guarded([this, handler] { (this->*handler)(); }); });
        return b;
    };
    SpeedButton4 = add("SpeedButton4", QStringLiteral("导入"), QStringLiteral("导入关键字列表"),
        glyphs::importList(), &TForm1::SpeedButton4Click);
    SpeedButton2 = add("SpeedButton2", QStringLiteral("搜索"), QStringLiteral("开始网址搜索"),
        glyphs::search(), &TForm1::N2Click);
    SpeedButton3 = add("SpeedButton3", QStringLiteral("终止"), QStringLiteral("终止网址搜索"), glyphs::stop(),
        &TForm1::N3Click);
    SpeedButton5 = add("SpeedButton5", QStringLiteral("保存"), QStringLiteral("保存搜索结果"),
        glyphs::saveResults(), &TForm1::N5Click);
    SpeedButton8 = add("SpeedButton8", QStringLiteral("进程"), QStringLiteral("保存搜索进程"),
        glyphs::saveProgress(), &TForm1::SpeedButton8Click);
    SpeedButton6 = add("SpeedButton6", QStringLiteral("创建"), QStringLiteral("创建搜索文件"),
        glyphs::create(), &TForm1::N20Click);
    SpeedButton1 = add("SpeedButton1", QStringLiteral("合并"), QStringLiteral("合并网址列表"),
        glyphs::merge(), &TForm1::SpeedButton1Click);
    SpeedButton9 = add("SpeedButton9", QStringLiteral("关于"), QStringLiteral("关于本软件"), glyphs::about(),
        &TForm1::N15Click);
    SpeedButton10 = add("SpeedButton10", QStringLiteral("退出"), QStringLiteral("退出软件系统"),
        glyphs::exitProgram(), &TForm1::SpeedButton10Click);
}

QWidget* TForm1::buildOptionsRow()
{
    auto* row = new QWidget(this);
    row->setObjectName(QStringLiteral("OptionsRow"));
    row->setFixedHeight(28);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(6, 2, 6, 2);
    h->setSpacing(6);
    h->addWidget(new QLabel(QStringLiteral("搜索间隔[秒]："), row));
    SpinEdit1 = new QSpinBox(row);
    SpinEdit1->setObjectName(QStringLiteral("SpinEdit1"));
    SpinEdit1->setRange(1, 1000);
    SpinEdit1->setValue(5);
    SpinEdit1->setFixedWidth(60);
    h->addWidget(SpinEdit1);
    CheckBox1 = new QCheckBox(QStringLiteral("去重"), row);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setLayoutDirection(Qt::RightToLeft); // caption on the left
    CheckBox1->setToolTip(QStringLiteral("勾选后，本次搜索中已采集过的网址不再重复采集"));
    h->addWidget(CheckBox1);
    h->addSpacing(8);
    h->addWidget(new QLabel(QStringLiteral("规则："), row));
    RulesBox = new QComboBox(row);
    RulesBox->setObjectName(QStringLiteral("RulesBox"));
    RulesBox->setToolTip(QStringLiteral("结果页的读取规则：经典为旧版结果页，现行为当前的结果页"));
    if (m_options.ruleSets.isEmpty())
        m_options.ruleSets = { harvest::classicRules(), harvest::todayRules() };
    for (const harvest::RuleSet& rules : std::as_const(m_options.ruleSets))
        RulesBox->addItem(rules.label.isEmpty() ? rules.name : rules.label, rules.name);
    RulesBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    h->addWidget(RulesBox);
    h->addSpacing(8);
    h->addWidget(new QLabel(QStringLiteral("搜索文件："), row));
    Edit5 = new QLineEdit(row);
    Edit5->setObjectName(QStringLiteral("Edit5"));
    Edit5->setReadOnly(true);
    h->addWidget(Edit5, 1);
    return row;
}

void TForm1::buildStatusBar()
{
    auto* StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(true);
    const QString fixed[7] = { QStringLiteral("总数："), {}, QStringLiteral("进程："), {},
        QStringLiteral("数量："), {}, StatusIdle };
    for (int i = 0; i < 7; ++i) {
        auto* label = new QLabel(fixed[i], StatusBar1);
        label->setObjectName(QStringLiteral("Panel%1").arg(i));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setMinimumWidth(PanelWidths[i]);
        if (i < 6)
            label->setFixedWidth(PanelWidths[i]);
        StatusBar1->addWidget(label, i == 6 ? 1 : 0);
        m_panels[static_cast<size_t>(i)] = label;
    }
    setStatusBar(StatusBar1);
}

void TForm1::buildTray()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    N17 = PopupMenu1->addAction(QStringLiteral("显示主程序(&S)"));
    N17->setObjectName(QStringLiteral("N17"));
    N17->setEnabled(false);
    N18 = PopupMenu1->addAction(QStringLiteral("最小化显示(&M)"));
    N18->setObjectName(QStringLiteral("N18"));
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N22"));
    N23 = PopupMenu1->addAction(QStringLiteral("退 出(&Exit)"));
    N23->setObjectName(QStringLiteral("N23"));
    connect(N17, &QAction::triggered, this, [this] { ui::guarded([this] { N17Click(); }); });
    connect(N18, &QAction::triggered, this, [this] { ui::guarded([this] { N18Click(); }); });
    connect(N23, &QAction::triggered, this, [this] { ui::guarded([this] { N23Click(); }); });

    antTaskbarIcon1 = std::make_unique<components::QtTaskbarIcon>(this);
    antTaskbarIcon1->SetName(QStringLiteral("antTaskbarIcon1"));
    antTaskbarIcon1->SetIcon(glyphs::programIcon());
    antTaskbarIcon1->SetVisible(true);
    antTaskbarIcon1->SetHint(text::toGbk(u"『Tessaroon』V2.0 "));
    antTaskbarIcon1->SetPopupMenu(PopupMenu1);
    antTaskbarIcon1->OnClick = [this](components::TantTaskbarIcon*) { ui::guarded([this] { N17Click(); }); };
    antTaskbarIcon1->Loaded();
}

void TForm1::FormCreate()
{
    // Tooltips in lime green.
    QPalette tips = QToolTip::palette();
    tips.setColor(QPalette::ToolTipBase, QColor(0, 255, 0));
    tips.setColor(QPalette::ToolTipText, Qt::black);
    QToolTip::setPalette(tips);
    buildTray();
    try {
        run().loadState();
    } catch (const std::exception&) {
        // The program starts with whatever the state file gave before the
        // bad line; the error is shown once the window is up.
        QTimer::singleShot(0, this,
            [error = std::current_exception()] { ui::guarded([&] { std::rethrow_exception(error); }); });
    }
    // Rows of a run the program never finished (killed, crashed, a power
    // cut) wait for 保存 until the next 搜索.
    if (const qint64 rows = m_scratch.recover(); rows > 0)
        setPanelText(harvest::PanelStatus,
            QStringLiteral("上次搜索意外中断，留下 %1 条结果，可点击“保存”保存").arg(rows));
}

void TForm1::FormDestroy()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    StopMerge();
    m_harvest->pollTimer().setEnabled(false);
    m_harvest->watchdogTimer().setEnabled(false);
    run().keywordList().clear();
    m_scratch.remove();
}

bool TForm1::FormCloseQuery()
{
    return ui::dialogs().confirm(boxParent(), QStringLiteral("确认退出Tessaroon吗?"));
}

void TForm1::closeEvent(QCloseEvent* event)
{
    bool close = false;
    ui::guarded([&] { close = FormCloseQuery(); });
    if (!close) {
        event->ignore();
        return;
    }
    event->accept();
    FormDestroy();
    // The window may be hidden in the tray: end the program explicitly.
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

void TForm1::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // Into the tray only when there is one to bring the window back from;
    // without one the window is minimised as usual.
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized)
        && trayAvailable())
        QTimer::singleShot(0, this, [this] { ui::guarded([this] { N18Click(); }); });
}

// --- Commands -----------------------------------------------------------

void TForm1::SpeedButton4Click()
{
    OpenDialog1.initialDir = text::exeDir();
    const QStringList chosen = ui::dialogs().openFiles(boxParent(), OpenDialog1);
    if (chosen.isEmpty())
        return;
    const QString path = chosen.first();
    Edit5->setText(path);
    repaintNow();
    const qsizetype count = tools::countFileLines(path);
    setPanelText(harvest::PanelKeywordCount, QString::number(count));
    harvest::KeywordList& keywords = run().keywordList();
    keywords.clear();
    keywords = tools::loadList(path);
    clearResults();
    // The count reads the file as lines, the list as keywords: they part
    // on lone CRs, NUL bytes and byte 26. Say so when they do, so that the
    // number the run goes by is never a surprise.
    if (keywords.size() != count)
        setPanelText(harvest::PanelStatus,
            QStringLiteral("文件共 %1 行，读入关键字 %2 个").arg(count).arg(keywords.size()));
}

void TForm1::N2Click() { run().start(); }

void TForm1::N3Click() { run().stop(); }

void TForm1::N5Click()
{
    const std::optional<QString> target = ui::dialogs().saveFile(boxParent(), SaveDialog1);
    if (!target)
        return;
    // Every row of the run, not only the ones still on screen; CSV when the
    // name or the filter asks for it, as the command line writes it.
    const harvest::RowFormat format = SaveDialog1.chosenFilter == ResultsCsvFilter
        ? harvest::RowFormat::Csv
        : harvest::rowFormatForFileName(*target);
    text::replaceFile(*target, harvest::convertTsvRows(m_scratch.contents(), format));
}

void TForm1::SpeedButton8Click()
{
    run().saveState();
    plainMessage(QStringLiteral("已经保存当前网址搜索进程"));
}

void TForm1::N20Click()
{
    if (Form3)
        Form3->exec();
}

// The merge's thread: asked to stop, it ends at its next look at the flag
// (a part being sorted is finished first), the target untouched.
struct TForm1::MergeJob {
    int serial = 0;
    std::atomic<bool> stop = false;
    std::thread thread;

    ~MergeJob()
    {
        stop = true;
        if (thread.joinable())
            thread.join();
    }
};

bool TForm1::mergeStopping() const { return m_stoppingMerge; }

void TForm1::SpeedButton1Click()
{
    if (m_merge)
        return;
    const QStringList sources = ui::dialogs().openFiles(boxParent(), OpenDialog8);
    if (sources.isEmpty())
        return;
    const std::optional<QString> target = ui::dialogs().saveFile(boxParent(), SaveDialog8);
    if (!target)
        return;
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    const QString working = QStringLiteral("数据正处理中...");
    m_panels[MessagePanel]->setText(working);
    repaintNow();
    SpeedButton1->setEnabled(false);

    auto job = std::make_unique<MergeJob>();
    const int serial = job->serial = ++m_mergeSerial;
    tools::MergeOptions options;
    options.cancel = &job->stop;
    // Sorting is about two thirds of the work, merging the rest.
    options.progress = [this, serial, working](tools::MergePhase phase, int percent) {
        if (percent < 0)
            return;
        const int done = phase == tools::MergePhase::Sorting ? percent * 2 / 3 : 66 + percent * 34 / 100;
        QMetaObject::invokeMethod(
            this,
            [this, serial, text = QStringLiteral("%1 %2%").arg(working).arg(done)] {
                if (m_merge && m_merge->serial == serial)
                    m_panels[MessagePanel]->setText(text);
            },
            Qt::QueuedConnection);
    };
    job->thread = std::thread([this, serial, sources, target = *target, options] {
        QString doneText;
        std::exception_ptr error;
        try {
            tools::MergeReport report;
            report.finished = [&doneText](const QString& text) { doneText = text; };
            tools::mergeFiles(sources, target, report, options);
        } catch (const tools::MergeCancelled&) {
            // Only the window's end stops a merge: nothing to tell.
        } catch (...) {
            error = std::current_exception();
        }
        QMetaObject::invokeMethod(
            this, [this, serial, doneText, error] { MergeFinished(serial, doneText, error); },
            Qt::QueuedConnection);
    });
    m_merge = std::move(job);
}

void TForm1::MergeFinished(int serial, const QString& doneText, std::exception_ptr error)
{
    if (!m_merge || m_merge->serial != serial)
        return; // stopped meanwhile
    m_merge.reset();
    QGuiApplication::restoreOverrideCursor();
    SpeedButton1->setEnabled(true);
    // A failed merge leaves the working text, as a merge on the interface
    // thread did, and shows its error.
    m_panels[MessagePanel]->setText(doneText.isEmpty() ? QStringLiteral("数据正处理中...") : doneText);
    if (error)
        ui::guarded([&] { std::rethrow_exception(error); });
}

void TForm1::StopMerge()
{
    if (!m_merge)
        return;
    m_stoppingMerge = true;
    m_merge->stop = true;
    m_merge->thread.join();
    m_merge.reset();
    m_stoppingMerge = false;
    QGuiApplication::restoreOverrideCursor();
    SpeedButton1->setEnabled(true);
}

void TForm1::N15Click()
{
    if (Form2)
        Form2->exec();
}

void TForm1::SpeedButton10Click() { close(); }

void TForm1::ShowCleaner()
{
    if (delform)
        delform->exec();
}

void TForm1::chooseRules(int index)
{
    RulesBox->setCurrentIndex(index);
    run().setRules(m_options.ruleSets.value(index, harvest::classicRules()));
}

void TForm1::callForAttention(const QString& text)
{
    if (isHidden()) {
        const components::TNotifyIconDataA& icon = antTaskbarIcon1->IconData();
        if (QSystemTrayIcon* tray = antTaskbarIcon1->trayProvider().trayIcon(icon.hWnd, icon.uID))
            tray->showMessage(QStringLiteral("Tessaroon"), text);
        N17Click();
    } else if (isMinimized()) {
        showNormal();
    }
    raise();
    activateWindow();
}

void TForm1::N17Click()
{
    N17->setEnabled(false);
    N18->setEnabled(true);
    if (m_maximizedBeforeHiding)
        showMaximized();
    else
        showNormal();
    raise();
    activateWindow();
}

void TForm1::N18Click()
{
    N18->setEnabled(false);
    N17->setEnabled(true);
    m_maximizedBeforeHiding = windowState() & Qt::WindowMaximized;
    hide();
}

QWidget* TForm1::boxParent()
{
    if (isHidden())
        N17Click();
    return this;
}

bool TForm1::trayAvailable() const
{
    return m_options.trayAvailable ? m_options.trayAvailable() : QSystemTrayIcon::isSystemTrayAvailable();
}

void TForm1::reportError(const QString& text)
{
    // Shown from the event loop, not from inside the run's step that met
    // the error.
    QTimer::singleShot(0, this, [this, text] { ui::dialogs().standardError(boxParent(), text); });
}

void TForm1::showEvent(QShowEvent* event)
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

void TForm1::N23Click() { close(); }

void TForm1::Button1Click() { run().nextPageStep(); }

void TForm1::BitBtn1Click() { run().finishStep(); }

void TForm1::clearBrowserData()
{
    // Only the history: emptying the page cache while the first request is
    // on its way stalls that load (the cache is cleared in the background),
    // so the cache is left to the cleaner window.
    try {
        browser::ClearUrlHistory(*m_browserProfile);
    } catch (const std::exception&) {
        // Silent, as the cleaner is.
    }
}

// --- What the run needs of the window -------------------------------------

int TForm1::intervalSetting()
{
    // The box corrects a typed value only when it loses the focus; until
    // then a value that is not a whole number reads as 1, and one outside
    // the box's range as its nearest end.
    try {
        return std::clamp(text::toInteger(QStringView(SpinEdit1->text()).trimmed()), 1, 1000);
    } catch (const text::ConvertError&) {
        return 1;
    }
}

void TForm1::setIntervalSetting(int seconds) { SpinEdit1->setValue(std::clamp(seconds, 1, 1000)); }

bool TForm1::dedupeChecked() { return CheckBox1->isChecked(); }

void TForm1::setDedupeChecked(bool checked) { CheckBox1->setChecked(checked); }

QString TForm1::keywordFileText() { return Edit5->text(); }

void TForm1::setKeywordFileText(const QString& text) { Edit5->setText(text); }

void TForm1::setPanelText(int panel, const QString& text)
{
    m_panels.at(static_cast<size_t>(panel))->setText(text);
}

QString TForm1::panelText(int panel) const { return m_panels.at(static_cast<size_t>(panel))->text(); }

void TForm1::showNotice(const harvest::RunNotice& notice)
{
    setPanelText(harvest::PanelStatus, harvest::runNoticeText(notice));
}

void TForm1::setCommandsEnabled(bool search, bool stop, bool import)
{
    SpeedButton2->setEnabled(search);
    SpeedButton3->setEnabled(stop);
    SpeedButton4->setEnabled(import);
    // A run keeps the rules it started with.
    RulesBox->setEnabled(search);
}

void TForm1::repaintNow()
{
    flushResults();
    repaint();
}

int TForm1::resultRowCount()
{
    return ListView1->topLevelItemCount() + static_cast<int>(m_pendingRows.size());
}

void TForm1::clearResults()
{
    qDeleteAll(m_pendingRows);
    m_pendingRows.clear();
    ListView1->clear();
}

void TForm1::appendResult(const QByteArray& address, const QByteArray& linkText)
{
    // The page's rows go into the list together once the harvest of the
    // page is over: nothing is painted in between, so the user sees the
    // same as with one insertion and one scroll per row, at a fraction of
    // the cost on a page of thousands of links.
    m_pendingRows.append(new QTreeWidgetItem({ text::fromGbk(address), text::fromGbk(linkText) }));
    if (m_pendingRows.size() == 1)
        QTimer::singleShot(0, this, [this] { flushResults(); });
}

void TForm1::flushResults()
{
    if (m_pendingRows.isEmpty())
        return;
    ListView1->addTopLevelItems(m_pendingRows);
    m_pendingRows.clear();
    ListView1->scrollToBottom();
}

std::optional<QString> TForm1::inputQuery(const QString& caption, const QString& prompt, const QString& value)
{
    return ui::dialogs().inputQuery(boxParent(), caption, prompt, value);
}

void TForm1::informationBox(const QString& text) { ui::dialogs().information(boxParent(), text); }

void TForm1::plainMessage(const QString& text) { ui::dialogs().plainMessage(boxParent(), text); }

} // namespace tess::app
