#include "tools/builder/KeywordListBuilder.h"

#include "io/ExeDir.h"
#include "io/FileReplace.h"
#include "text/Gbk.h"
#include "tools/builder/BuilderGlyphs.h"
#include "tools/builder/DisplayLines.h"
#include "ui/Application.h"

#include <QLabel>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace tess::tools {
namespace {

QLabel* label(QWidget* parent, const char* name, const QString& text, int left, int top)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->move(left, top);
    l->adjustSize();
    return l;
}

QTextEdit* textBox(QWidget* parent, const char* name, const QRect& geometry, const QString& text)
{
    auto* m = new QTextEdit(parent);
    m->setObjectName(QLatin1String(name));
    m->setGeometry(geometry);
    m->setAcceptRichText(false);
    m->setLineWrapMode(QTextEdit::WidgetWidth);
    m->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m->setTabChangesFocus(true);
    m->setPlainText(text);
    return m;
}

QToolButton* flatButton(
    QWidget* parent, const char* name, const QString& caption, const QIcon& glyph, const QRect& geometry)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(geometry);
    b->setAutoRaise(true);
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setIcon(glyph);
    b->setText(caption);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

// The box holds lines separated by line breaks; the file has CR LF.
QByteArray fileBytes(const QString& boxText)
{
    QString text = boxText;
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return text::toGbk(text);
}

} // namespace

KeywordListBuilder::KeywordListBuilder(QWidget* parent)
    : ui::SecondaryWindow(parent)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("创建关键词列表文件"));
    resize(310, 236);

    m_regionWordsLabel = label(this, "Label1", QStringLiteral("地区分类词语"), 40, 8);
    m_tradeWordsLabel = label(this, "Label2", QStringLiteral("行业分类词语"), 200, 8);
    m_regionWordsEdit
        = textBox(this, "Memo1", QRect(8, 24, 137, 65), QStringLiteral("广州\n上海\n北京\n苏州"));
    m_tradeWordsEdit
        = textBox(this, "Memo2", QRect(168, 24, 137, 65), QStringLiteral("服装\n服饰\n制衣\n时装"));
    m_keywordListLabel = label(this, "Label3", QStringLiteral("百度搜索关键词列表文件内容"), 72, 104);
    m_keywordListEdit = textBox(this, "Memo3", QRect(8, 120, 297, 73), QString());
    m_buildButton
        = flatButton(this, "SpeedButton2", QStringLiteral("创建"), createGlyph(), QRect(72, 204, 65, 25));
    m_saveButton
        = flatButton(this, "SpeedButton1", QStringLiteral("保存"), saveGlyph(), QRect(176, 204, 65, 25));
    setTabOrder(m_regionWordsEdit, m_tradeWordsEdit);
    setTabOrder(m_tradeWordsEdit, m_keywordListEdit);
    connect(m_buildButton, &QToolButton::clicked, this, &KeywordListBuilder::buildKeywordList);
    connect(m_saveButton, &QToolButton::clicked, this, &KeywordListBuilder::saveKeywordList);

    m_saveDialog.title = QStringLiteral("生成搜索关键词列表文件");
    m_saveDialog.filter = QStringLiteral("Text files(*.txt)|*.txt|All files(*.*)|*.*");
    m_saveDialog.defaultSuffix = QStringLiteral("txt");
    m_saveDialog.overwritePrompt = true;
}

void KeywordListBuilder::buildKeywordList()
{
    const QStringList regions = displayLines(m_regionWordsEdit);
    const QStringList trades = displayLines(m_tradeWordsEdit);
    QString result;
    for (const QString& region : regions) {
        for (const QString& trade : trades) {
            result += region;
            result += QLatin1Char(' ');
            result += trade;
            result += QLatin1Char('\n');
        }
    }
    // One replacement instead of one append per line: a large list
    // would otherwise be laid out again at every line.
    m_keywordListEdit->setPlainText(result);
}

void KeywordListBuilder::saveKeywordList()
{
    ui::guarded([this] {
        m_saveDialog.initialDir = io::exeDir();
        m_saveDialog.fileName = kProposedFileName;
        repaint();
        const std::optional<QString> path = ui::dialogs().saveFile(this, m_saveDialog);
        if (!path)
            return;
        // Written to a companion file and renamed over the target, so a
        // failed save leaves any earlier file whole.
        io::replaceFile(*path, fileBytes(m_keywordListEdit->toPlainText()));
    });
}

QSize KeywordListBuilder::combinedSize() const
{
    const QSize page = m_pages->widget(0)->size();
    return { page.width() + 4, page.height() + m_pages->tabBar()->sizeHint().height() + 4 };
}

void KeywordListBuilder::addPage(QWidget* page, const QString& title)
{
    if (!m_pages) {
        // The word lists keep their places on a page of their own.
        auto* combine = new QWidget;
        combine->setObjectName(QStringLiteral("CombinePage"));
        combine->setFixedSize(size());
        for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            child->setParent(combine);
            child->show();
        }
        m_pages = new QTabWidget(this);
        m_pages->setObjectName(QStringLiteral("BuilderPages"));
        m_pages->addTab(combine, QStringLiteral("组合"));
        // Each page asks for the room it needs when it is shown, not the
        // room the largest one needs.
        m_pages->setMinimumSize(1, 1);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(m_pages);
        // The word lists need little room, the other pages a browser's.
        connect(m_pages, &QTabWidget::currentChanged, this,
            [this](int index) { resize(index == 0 ? combinedSize() : size().expandedTo(QSize(960, 720))); });
        resize(combinedSize());
    }
    m_pages->addTab(page, title);
}

} // namespace tess::tools
