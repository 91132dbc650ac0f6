#include "tools/list/ui/ListToolWindow.h"

#include "text/Errors.h"
#include "text/Gbk.h"
#include "tools/list/LinePattern.h"
#include "ui/Application.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMetaObject>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <limits>
#include <thread>

namespace tess::tools {
namespace {

// What a step takes besides its tick.
enum class Value { None, Choice, Text, File, Lines };
// Where the step goes in ListArguments: among the steps, or how the
// result is written.
enum class Role { Step, Split, Count };

struct StepForm {
    const char* name; // object names: NAMECheck, NAMEValue, NAMEBrowse
    const char16_t* caption;
    const char16_t* word; // the command line's, shown as the tick's hint
    Value value;
    // Choices: "caption|value|caption|value..."; text: the placeholder.
    const char16_t* choices;
    Role role;
    ListStep::Kind kind;
};

using Kind = ListStep::Kind;
constexpr std::array kStepForms {
    StepForm { "Trim", u"截取", u"--trim", Value::Choice, u"根域名|root|主机|host|路径|path", Role::Step,
        Kind::Trim },
    StepForm { "Unique", u"去重", u"--unique", Value::Choice, u"网址|address|主机|host|域名|domain",
        Role::Step, Kind::Unique },
    StepForm { "KeepTld", u"保留后缀", u"--keep-tld", Value::Text, u"cn,com.cn", Role::Step, Kind::KeepTld },
    StepForm { "DropTld", u"去除后缀", u"--drop-tld", Value::Text, u"cn,com.cn", Role::Step, Kind::DropTld },
    StepForm { "KeepContaining", u"保留包含", u"--keep-containing", Value::Text, u"词语，以逗号分隔",
        Role::Step, Kind::KeepContaining },
    StepForm { "DropContaining", u"去除包含", u"--drop-containing", Value::Text, u"词语，以逗号分隔",
        Role::Step, Kind::DropContaining },
    StepForm { "KeepMatching", u"保留匹配", u"--keep-matching", Value::Text, u"PCRE2 正则表达式", Role::Step,
        Kind::KeepMatching },
    StepForm { "DropMatching", u"去除匹配", u"--drop-matching", Value::Text, u"PCRE2 正则表达式", Role::Step,
        Kind::DropMatching },
    StepForm { "KeepListed", u"保留列表", u"--keep-listed", Value::File, u"域名与网址列表文件", Role::Step,
        Kind::KeepListed },
    StepForm { "DropListed", u"去除列表", u"--drop-listed", Value::File, u"域名与网址列表文件", Role::Step,
        Kind::DropListed },
    StepForm { "Sort", u"排序", u"--sort", Value::None, u"", Role::Step, Kind::Sort },
    StepForm { "Split", u"分割", u"--split", Value::Lines, u"", Role::Split, Kind::Sort },
    StepForm { "Count", u"统计", u"--count", Value::Choice, u"主机|host|域名|domain|后缀|tld", Role::Count,
        Kind::Sort },
};

const QString kFilter = QStringLiteral("文本文件(*.txt)|*.txt|所有文件(*.*)|*.*");
const QString kWorking = QStringLiteral("正在处理…");

// The count column's share of the largest count, as a bar across the cell.
class CountBarDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        const double share = std::clamp(index.data(Qt::UserRole).toDouble(), 0.0, 1.0);
        QRect bar = option.rect.adjusted(2, 3, -2, -3);
        bar.setWidth(std::max(1, int(bar.width() * share)));
        painter->fillRect(bar, option.palette.color(QPalette::Highlight));
    }
};

} // namespace

// One step's row: its tick and what it takes.
struct ListToolWindow::Step {
    const StepForm& form;
    QCheckBox* check = nullptr;
    QComboBox* choice = nullptr;
    QLineEdit* text = nullptr;
    QSpinBox* lines = nullptr;

    QString value() const
    {
        if (choice)
            return choice->currentData().toString();
        return text ? text->text().trimmed() : QString();
    }
};

// The list's thread: asked to stop, it ends at its next look at the flag.
struct ListToolWindow::Job {
    int serial = 0;
    QString countFile; // read back for the table; empty: no --count
    std::atomic<bool> stop = false;
    std::thread thread;

    ~Job()
    {
        stop = true;
        if (thread.joinable())
            thread.join();
    }
};

ListToolWindow::ListToolWindow(QWidget* parent)
    : ui::SecondaryWindow(parent)
{
    setObjectName(QStringLiteral("ListToolWindow"));
    setWindowTitle(QStringLiteral("列表工具"));
    setMinimumWidth(560);
    m_sourcesDialog
        = { QStringLiteral("选择源文件"), kFilter, QStringLiteral("txt"), {}, {}, true, true, false };
    m_targetDialog
        = { QStringLiteral("目标文件保存为"), kFilter, QStringLiteral("txt"), {}, {}, false, false, true };
    m_listDialog
        = { QStringLiteral("选择列表文件"), kFilter, QStringLiteral("txt"), {}, {}, false, true, false };

    auto* column = new QVBoxLayout(this);
    column->addWidget(buildSources());
    column->addWidget(buildSteps());
    column->addWidget(buildTarget());
    auto* runRow = new QHBoxLayout;
    m_runButton = new QPushButton(QStringLiteral("运行"), this);
    m_runButton->setObjectName(QStringLiteral("RunButton"));
    connect(m_runButton, &QPushButton::clicked, this, [this] { ui::guarded([this] { run(); }); });
    runRow->addWidget(m_runButton);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("StatusLabel"));
    runRow->addWidget(m_status, 1);
    column->addLayout(runRow);

    m_countTable = new QTableWidget(0, 3, this);
    m_countTable->setObjectName(QStringLiteral("CountTable"));
    m_countTable->setHorizontalHeaderLabels({ QStringLiteral("数量"), QStringLiteral("键"), QString() });
    m_countTable->setItemDelegateForColumn(2, new CountBarDelegate(m_countTable));
    m_countTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_countTable->verticalHeader()->hide();
    m_countTable->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_countTable->verticalHeader()->setDefaultSectionSize(m_countTable->fontMetrics().height() + 6);
    m_countTable->setColumnWidth(0, 70);
    m_countTable->setColumnWidth(2, 150);
    m_countTable->setFixedHeight(180);
    m_countTable->hide();
    column->addWidget(m_countTable, 1);
}

ListToolWindow::~ListToolWindow() { stop(); }

QWidget* ListToolWindow::buildSources()
{
    auto* box = new QGroupBox(QStringLiteral("源文件"), this);
    auto* row = new QHBoxLayout(box);
    m_sourceList = new QListWidget(box);
    m_sourceList->setObjectName(QStringLiteral("SourceList"));
    m_sourceList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_sourceList->setFixedHeight(72);
    row->addWidget(m_sourceList, 1);
    auto* buttons = new QVBoxLayout;
    auto* add = new QPushButton(QStringLiteral("添加…"), box);
    add->setObjectName(QStringLiteral("AddSourcesButton"));
    connect(add, &QPushButton::clicked, this, [this] { ui::guarded([this] { addSources(); }); });
    auto* remove = new QPushButton(QStringLiteral("移除"), box);
    remove->setObjectName(QStringLiteral("RemoveSourcesButton"));
    connect(remove, &QPushButton::clicked, this, [this] { removeSources(); });
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch(1);
    row->addLayout(buttons);
    return box;
}

QWidget* ListToolWindow::buildSteps()
{
    auto* box = new QGroupBox(QStringLiteral("步骤"), this);
    auto* grid = new QGridLayout(box);
    grid->setVerticalSpacing(2);
    int row = 0;
    for (const StepForm& form : kStepForms) {
        auto step = std::make_unique<Step>(Step { form });
        const QString name = QLatin1String(form.name);
        step->check = new QCheckBox(QString::fromUtf16(form.caption), box);
        step->check->setObjectName(name + QStringLiteral("Check"));
        step->check->setToolTip(QString::fromUtf16(form.word));
        grid->addWidget(step->check, row, 0);
        QWidget* value = nullptr;
        if (form.value == Value::Choice) {
            step->choice = new QComboBox(box);
            const QStringList pairs = QString::fromUtf16(form.choices).split(QLatin1Char('|'));
            for (qsizetype i = 0; i + 1 < pairs.size(); i += 2)
                step->choice->addItem(pairs[i], pairs[i + 1]);
            value = step->choice;
        } else if (form.value == Value::Text || form.value == Value::File) {
            step->text = new QLineEdit(box);
            step->text->setPlaceholderText(QString::fromUtf16(form.choices));
            value = step->text;
        } else if (form.value == Value::Lines) {
            step->lines = new QSpinBox(box);
            step->lines->setRange(1, std::numeric_limits<int>::max());
            step->lines->setValue(10000);
            step->lines->setSuffix(QStringLiteral(" 行一份"));
            value = step->lines;
        }
        if (value) {
            value->setObjectName(name + QStringLiteral("Value"));
            value->setEnabled(false);
            connect(step->check, &QCheckBox::toggled, value, &QWidget::setEnabled);
            grid->addWidget(value, row, 1, 1, form.value == Value::File ? 1 : 2);
        }
        if (form.value == Value::File) {
            auto* browse = new QPushButton(QStringLiteral("浏览…"), box);
            browse->setObjectName(name + QStringLiteral("Browse"));
            connect(browse, &QPushButton::clicked, this, [this, edit = step->text] {
                ui::guarded([&] {
                    const QStringList chosen = ui::dialogs().openFiles(this, m_listDialog);
                    if (!chosen.isEmpty())
                        edit->setText(chosen.first());
                });
            });
            grid->addWidget(browse, row, 2);
        }
        m_steps.push_back(std::move(step));
        ++row;
    }
    grid->setColumnStretch(1, 1);
    return box;
}

QWidget* ListToolWindow::buildTarget()
{
    auto* box = new QGroupBox(QStringLiteral("目标文件"), this);
    auto* row = new QHBoxLayout(box);
    m_targetEdit = new QLineEdit(box);
    m_targetEdit->setObjectName(QStringLiteral("TargetEdit"));
    row->addWidget(m_targetEdit, 1);
    auto* browse = new QPushButton(QStringLiteral("浏览…"), box);
    browse->setObjectName(QStringLiteral("TargetBrowse"));
    connect(browse, &QPushButton::clicked, this, [this] { ui::guarded([this] { chooseTarget(); }); });
    row->addWidget(browse);
    return box;
}

void ListToolWindow::addSources()
{
    for (const QString& path : ui::dialogs().openFiles(this, m_sourcesDialog)) {
        if (m_sourceList->findItems(path, Qt::MatchExactly).isEmpty())
            m_sourceList->addItem(path);
    }
}

void ListToolWindow::removeSources() { qDeleteAll(m_sourceList->selectedItems()); }

void ListToolWindow::chooseTarget()
{
    if (const std::optional<QString> target = ui::dialogs().saveFile(this, m_targetDialog))
        m_targetEdit->setText(*target);
}

ListArguments ListToolWindow::arguments() const
{
    ListArguments arguments;
    for (int i = 0; i < m_sourceList->count(); ++i)
        arguments.sources.append(m_sourceList->item(i)->text());
    if (arguments.sources.isEmpty())
        throw text::AppError(QStringLiteral("请添加源文件"));
    arguments.target = m_targetEdit->text().trimmed();
    if (arguments.target.isEmpty())
        throw text::AppError(QStringLiteral("请指定目标文件"));
    for (const auto& step : m_steps) {
        if (!step->check->isChecked())
            continue;
        const QString caption = QString::fromUtf16(step->form.caption);
        const QString value = step->value();
        if (step->text && value.isEmpty())
            throw text::AppError(QStringLiteral("请填写“%1”的内容").arg(caption));
        if (step->form.role == Role::Split) {
            arguments.split = step->lines->value();
        } else if (step->form.role == Role::Count) {
            arguments.count = value;
        } else {
            if (step->form.kind == Kind::KeepMatching || step->form.kind == Kind::DropMatching) {
                try {
                    LinePattern check(value);
                } catch (const text::AppError& e) {
                    throw text::AppError(QStringLiteral("“%1”的表达式有误：%2").arg(caption, e.message()));
                }
            }
            arguments.steps.push_back({ step->form.kind, value });
        }
    }
    if (arguments.split > 0 && !arguments.count.isEmpty())
        throw text::AppError(QStringLiteral("“分割”与“统计”只能选择其一"));
    return arguments;
}

QString ListToolWindow::statusText() const { return m_status->text(); }

void ListToolWindow::run()
{
    if (m_job)
        return;
    const ListArguments listed = arguments();
    auto job = std::make_unique<Job>();
    const int serial = job->serial = ++m_serial;
    if (!listed.count.isEmpty())
        job->countFile = listed.target;
    ListOptions options;
    options.cancel = &job->stop;
    options.progress = [this, serial](int percent) {
        QMetaObject::invokeMethod(
            this, [this, serial, percent] { showProgress(serial, percent); }, Qt::QueuedConnection);
    };
    job->thread = std::thread([this, serial, listed, options] {
        ListCounts counts;
        std::exception_ptr error;
        try {
            counts = runList(listed, options);
        } catch (...) {
            // A stop's exception included: stop() has let go of the job,
            // so finish() drops it.
            error = std::current_exception();
        }
        QMetaObject::invokeMethod(
            this, [this, serial, counts, error] { finish(serial, counts, error); }, Qt::QueuedConnection);
    });
    m_job = std::move(job);
    m_countTable->hide();
    m_countTable->setRowCount(0);
    m_runButton->setEnabled(false);
    m_status->setText(kWorking);
}

void ListToolWindow::showProgress(int serial, int percent)
{
    if (m_job && m_job->serial == serial)
        m_status->setText(percent < 0 ? kWorking : QStringLiteral("%1 %2%").arg(kWorking).arg(percent));
}

void ListToolWindow::finish(int serial, const ListCounts& counts, const std::exception_ptr& error)
{
    if (!m_job || m_job->serial != serial)
        return; // stopped meanwhile
    const QString countFile = m_job->countFile;
    m_job.reset();
    m_runButton->setEnabled(true);
    if (error) {
        m_status->setText(QStringLiteral("处理未完成"));
        ui::guarded([&] { std::rethrow_exception(error); });
        return;
    }
    m_status->setText(QStringLiteral("读入 %1 行，写出 %2 行，其中 %3 行没有主机")
                          .arg(counts.linesIn)
                          .arg(counts.linesOut)
                          .arg(counts.withoutHost));
    if (!countFile.isEmpty())
        ui::guarded([&] { showCounts(countFile); });
}

void ListToolWindow::showCounts(const QString& countFile)
{
    QFile file(countFile);
    if (!file.open(QIODevice::ReadOnly))
        throw text::AppError(QStringLiteral("无法读取统计结果：%1").arg(countFile));
    QList<std::pair<qint64, QString>> rows;
    while (rows.size() < kShownCountRows && !file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        const qsizetype tab = line.indexOf('\t');
        if (tab > 0)
            rows.append({ line.left(tab).toLongLong(), text::fromGbk(line.mid(tab + 1)) });
    }
    // The file has them largest first; the bars are shares of the first.
    const double largest = rows.isEmpty() ? 1.0 : double(std::max<qint64>(1, rows.first().first));
    m_countTable->setRowCount(int(rows.size()));
    for (int i = 0; i < rows.size(); ++i) {
        auto* count = new QTableWidgetItem(QString::number(rows[i].first));
        count->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_countTable->setItem(i, 0, count);
        m_countTable->setItem(i, 1, new QTableWidgetItem(rows[i].second));
        auto* bar = new QTableWidgetItem;
        bar->setData(Qt::UserRole, double(rows[i].first) / largest);
        m_countTable->setItem(i, 2, bar);
    }
    m_countTable->show();
    adjustSize();
}

void ListToolWindow::stop()
{
    if (!m_job)
        return;
    m_stopping = true;
    m_job->stop = true;
    m_job->thread.join();
    m_job.reset();
    m_stopping = false;
    m_runButton->setEnabled(true);
    m_status->setText(QStringLiteral("已停止"));
}

void ListToolWindow::done(int result)
{
    stop();
    ui::SecondaryWindow::done(result);
}

} // namespace tess::tools
