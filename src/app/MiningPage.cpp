#include "app/MiningPage.h"

#include "app/HarvestAssembly.h"
#include "browser/webengine/WebEngineBrowserHost.h"
#include "harvest/RunTexts.h"
#include "harvest/SearchEngine.h"
#include "harvest/SearchRun.h"
#include "io/ExeDir.h"
#include "text/Errors.h"
#include "text/Gbk.h"
#include "tools/mining/KeywordMiner.h"
#include "ui/Application.h"

#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWebEngineView>

namespace tess::app {

namespace {

// The list shows this many keywords at most; the file takes every one.
constexpr int kMaxShown = 100000;

QStringList wordsOf(const QLineEdit* edit)
{
    QString text = edit->text();
    text.replace(QChar(0xFF0C), QLatin1Char(',')); // a full-width comma as well
    QStringList words = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (QString& w : words)
        w = w.trimmed();
    words.removeAll(QString());
    return words;
}

template <typename T> T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

MiningPage::MiningPage(Options options, QWidget* parent)
    : QWidget(parent)
    , m_options(std::move(options))
{
    setObjectName(QStringLiteral("MiningPage"));
    m_options.ruleSets.removeIf([](const harvest::RuleSet& set) { return set.relatedSearches.isEmpty(); });
    auto* column = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(buildSettings(), 0);
    m_found = new QStandardItemModel(0, 2, this);
    m_found->setHorizontalHeaderLabels({ QStringLiteral("关键词"), QStringLiteral("深度") });
    m_foundList = named(new QTreeView(this), "MinedList");
    m_foundList->setModel(m_found);
    m_foundList->setRootIsDecorated(false);
    m_foundList->setUniformRowHeights(true);
    m_foundList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_foundList->header()->setStretchLastSection(false);
    m_foundList->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_foundList->setColumnWidth(1, 48);
    m_foundList->setMaximumHeight(260);
    top->addWidget(m_foundList, 1);
    column->addLayout(top, 0);
    column->addWidget(buildCommands());
    m_status = named(
        new QLabel(QStringLiteral("填入种子关键词（每行一个），选择搜索引擎后开始挖掘"), this), "MineStatus");
    column->addWidget(m_status);
    m_browserColumn = new QVBoxLayout;
    // The browser comes with the first run; till then, a word on what it is for.
    m_browserNote = named(
        new QLabel(
            QStringLiteral("开始挖掘后，这里显示搜索引擎的页面；遇到验证页面时，请在这里完成验证"), this),
        "MineBrowserNote");
    m_browserNote->setAlignment(Qt::AlignCenter);
    m_browserNote->setFrameShape(QFrame::StyledPanel);
    m_browserNote->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_browserColumn->addWidget(m_browserNote);
    column->addLayout(m_browserColumn, 1);

    m_saveDialog
        = { QStringLiteral("保存挖掘的关键词"), QStringLiteral("Text files(*.txt)|*.txt|All files(*.*)|*.*"),
              QStringLiteral("txt"), {}, QStringLiteral("挖掘关键词.txt"), false, false, true };
    setCommandsEnabled(true, false, true);
}

MiningPage::~MiningPage()
{
    // The run goes before the miner it feeds from.
    m_harvest.reset();
}

QWidget* MiningPage::buildSettings()
{
    auto* box = new QWidget(this);
    auto* form = new QFormLayout(box);
    form->setContentsMargins(0, 0, 0, 0);
    m_seedsEdit = named(new QPlainTextEdit(box), "SeedsEdit");
    m_seedsEdit->setPlaceholderText(QStringLiteral("每行一个种子关键词"));
    m_seedsEdit->setFixedHeight(90);
    form->addRow(QStringLiteral("种子关键词："), m_seedsEdit);
    m_engineBox = named(new QComboBox(box), "MineEngineBox");
    for (const harvest::RuleSet& set : std::as_const(m_options.ruleSets))
        m_engineBox->addItem(set.label, set.name);
    form->addRow(QStringLiteral("搜索引擎："), m_engineBox);
    auto spin = [box](const char* name, int low, int high, int value) {
        auto* s = named(new QSpinBox(box), name);
        s->setRange(low, high);
        s->setValue(value);
        return s;
    };
    m_depthSpin = spin("DepthSpin", 1, 10, 2);
    m_depthSpin->setToolTip(QStringLiteral("种子为第 0 层；深度 2 即查询种子和它们的相关搜索"));
    form->addRow(QStringLiteral("挖掘深度："), m_depthSpin);
    m_maxSpin = spin("MaxSpin", 0, 10000000, 1000);
    m_maxSpin->setSpecialValueText(QStringLiteral("不限"));
    form->addRow(QStringLiteral("最多关键词："), m_maxSpin);
    m_requireEdit = named(new QLineEdit(box), "RequireEdit");
    m_requireEdit->setPlaceholderText(QStringLiteral("用逗号分隔，含其中之一才保留"));
    form->addRow(QStringLiteral("必须包含："), m_requireEdit);
    m_excludeEdit = named(new QLineEdit(box), "ExcludeEdit");
    m_excludeEdit->setPlaceholderText(QStringLiteral("用逗号分隔，含其中之一即舍弃"));
    form->addRow(QStringLiteral("排除词语："), m_excludeEdit);
    m_intervalSpin = spin("MineIntervalSpin", 1, 1000, 5);
    form->addRow(QStringLiteral("搜索间隔[秒]："), m_intervalSpin);
    box->setFixedWidth(330);
    box->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return box;
}

QWidget* MiningPage::buildCommands()
{
    auto* row = new QWidget(this);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    auto button = [&](const char* name, const QString& caption, void (MiningPage::*command)()) {
        auto* b = named(new QPushButton(caption, row), name);
        connect(
            b, &QPushButton::clicked, this, [this, command] { ui::guarded([&] { (this->*command)(); }); });
        h->addWidget(b);
        return b;
    };
    m_startButton = button("MineStartButton", QStringLiteral("开始挖掘"), &MiningPage::startMining);
    m_stopButton = button("MineStopButton", QStringLiteral("停止"), &MiningPage::stopMining);
    m_saveButton = button("MineSaveButton", QStringLiteral("保存..."), &MiningPage::saveKeywords);
    m_useButton = button("MineUseButton", QStringLiteral("用于搜索"), &MiningPage::useKeywords);
    m_useButton->setToolTip(QStringLiteral("把挖掘到的关键词作为主窗口的搜索关键词列表导入"));
    h->addStretch(1);
    return row;
}

void MiningPage::makeMiner()
{
    tools::MiningOptions options { .depth = m_depthSpin->value(),
        .max = m_maxSpin->value(),
        .require = wordsOf(m_requireEdit),
        .exclude = wordsOf(m_excludeEdit) };
    m_miner = std::make_unique<tools::KeywordMiner>(std::move(options));
    m_found->removeRows(0, m_found->rowCount());
    m_miner->onTaken = [this](const QString& keyword, int depth) {
        if (m_found->rowCount() >= kMaxShown)
            return;
        auto* depthItem = new QStandardItem(QString::number(depth));
        depthItem->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_found->appendRow({ new QStandardItem(keyword), depthItem });
    };
    for (const QString& line : m_seedsEdit->toPlainText().split(QLatin1Char('\n')))
        m_miner->addSeed(text::toGbk(line));
    if (m_miner->size() == 0)
        throw text::AppError(QStringLiteral("请先填入种子关键词，每行一个"));
}

void MiningPage::startMining()
{
    if (running())
        return;
    if (m_engineBox->count() == 0)
        throw text::AppError(QStringLiteral("没有能列出相关搜索的搜索规则"));
    m_full = false;
    makeMiner();
    QList<harvest::SearchEngine> engines { harvest::engineOnDefaultHost(
        m_options.ruleSets.at(m_engineBox->currentIndex())) };
    harvest::applyEngineHosts(engines, m_options.engineHosts);
    if (!m_harvest) {
        QDir().mkpath(m_options.scratchFolder);
        m_harvest = std::make_unique<HarvestAssembly>(HarvestAssembly::Options { .window = *this,
            .profileFolder = m_options.profileFolder,
            .viewParent = this,
            .statePath = QDir(m_options.scratchFolder).filePath(QStringLiteral("mining.ini")),
            .localAddress = m_options.localAddress,
            .runTick = [](const std::function<void()>& tick) { ui::guarded(tick); },
            .finished = [this](const harvest::RunEnd&) { onFinished(); },
            .relatedSearchesRead = [this](int index, const QByteArray&, const QString&,
                                       const QList<QString>& related) { onRelated(index, related); } });
        delete m_browserNote;
        m_browserNote = nullptr;
        m_browserColumn->addWidget(named(m_harvest->browserHost().view(), "MineBrowser"));
    }
    harvest::SearchRun& run = m_harvest->run();
    run.setEngines(engines);
    run.setMining(true);
    run.keywordList().clear();
    run.setKeywordIndex(0);
    feedRun();
    run.start();
}

void MiningPage::stopMining()
{
    if (running())
        m_harvest->run().stop();
}

bool MiningPage::running() const { return m_harvest && m_stopButton->isEnabled(); }

qint64 MiningPage::foundCount() const { return m_miner ? m_miner->size() : 0; }

QString MiningPage::statusText() const { return m_status->text(); }

QString MiningPage::handOverPath() const { return io::exeDir() + QStringLiteral("挖掘关键词.txt"); }

void MiningPage::requireKeywords() const
{
    if (running())
        throw text::AppError(QStringLiteral("正在挖掘，请先停止"));
    if (foundCount() == 0)
        throw text::AppError(QStringLiteral("还没有挖掘到关键词"));
}

void MiningPage::saveKeywords()
{
    requireKeywords();
    m_saveDialog.initialDir = io::exeDir();
    if (const std::optional<QString> path = ui::dialogs().saveFile(this, m_saveDialog))
        m_miner->save(*path);
}

void MiningPage::useKeywords()
{
    requireKeywords();
    const QString path = handOverPath();
    m_miner->save(path);
    if (m_options.useKeywords)
        m_options.useKeywords(path);
    m_status->setText(QStringLiteral("已导入主窗口：%1 个关键词，见 %2").arg(foundCount()).arg(path));
    // The builder holds the main window till it closes; the list is there now.
    if (window() != this)
        window()->close();
}

void MiningPage::hideEvent(QHideEvent* event)
{
    // Closing the window ends the run (another page being chosen does
    // not); what it found stays to be saved.
    if (!window()->isVisible())
        stopMining();
    QWidget::hideEvent(event);
}

void MiningPage::feedRun()
{
    while (const std::optional<QByteArray> keyword = m_miner->nextToAsk())
        m_harvest->run().keywordList().append(*keyword);
}

void MiningPage::onRelated(int index, const QList<QString>& related)
{
    m_miner->addRelated(index, related);
    feedRun();
    showProgress();
    if (!m_miner->full() || m_full)
        return;
    // Nothing more is taken: asking on would find nothing to keep.
    m_full = true;
    m_harvest->run().stop();
}

void MiningPage::showProgress()
{
    m_status->setText(QStringLiteral("正在挖掘：已查询 %1 / %2 个，已找到 %3 个关键词")
                          .arg(m_harvest->run().keywordIndex())
                          .arg(m_miner->toAsk())
                          .arg(m_miner->size()));
}

void MiningPage::onFinished()
{
    QString text = QStringLiteral("挖掘结束：共找到 %1 个关键词").arg(m_miner->size());
    if (!m_miner->stopMessage().isEmpty())
        text += QStringLiteral("（内存预算已满，列表停止增长）");
    else if (m_full)
        text += QStringLiteral("（已达最多关键词数）");
    if (m_found->rowCount() < m_miner->size())
        text += QStringLiteral("；列表只显示前 %1 个，保存时全部写入").arg(kMaxShown);
    m_status->setText(text);
}

int MiningPage::intervalSetting() { return m_intervalSpin->value(); }

void MiningPage::setIntervalSetting(int seconds) { m_intervalSpin->setValue(std::clamp(seconds, 1, 1000)); }

void MiningPage::setPanelText(int panel, const QString&)
{
    if (panel == harvest::PanelKeywordIndex && m_miner)
        showProgress();
}

void MiningPage::showNotice(const harvest::RunNotice& notice)
{
    // The end is told in the page's own words (onFinished), whichever
    // comes first.
    if (notice.kind == harvest::RunNoticeKind::BrowserNote || notice.kind == harvest::RunNoticeKind::Finished)
        return;
    m_status->setText(harvest::runNoticeText(notice));
}

void MiningPage::setCommandsEnabled(bool search, bool stop, bool)
{
    m_startButton->setEnabled(search);
    m_stopButton->setEnabled(stop);
    m_saveButton->setEnabled(search);
    m_useButton->setEnabled(search);
    m_engineBox->setEnabled(search);
}

// The run asks where to start: always at the first keyword.
std::optional<QString> MiningPage::inputQuery(const QString&, const QString&, const QString&)
{
    return QStringLiteral("0");
}

void MiningPage::informationBox(const QString& text) { ui::dialogs().information(this, text); }

void MiningPage::plainMessage(const QString& text) { ui::dialogs().plainMessage(this, text); }

void MiningPage::reportError(const QString& text) { ui::dialogs().standardError(this, text); }

} // namespace tess::app
