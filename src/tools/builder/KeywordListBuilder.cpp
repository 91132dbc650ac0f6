#include "tools/builder/KeywordListBuilder.h"

#include "io/ExeDir.h"
#include "io/FileReplace.h"
#include "text/Gbk.h"
#include "tools/builder/BuilderGlyphs.h"
#include "tools/builder/DisplayLines.h"
#include "ui/Application.h"

#include <QLabel>
#include <QTextEdit>
#include <QToolButton>

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

QTextEdit* memo(QWidget* parent, const char* name, const QRect& geometry, const QString& text)
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

QToolButton* speedButton(
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

TForm3::TForm3(QWidget* parent)
    : ui::SecondaryWindow(parent)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("创建关键词列表文件"));
    resize(310, 236);

    Label1 = label(this, "Label1", QStringLiteral("地区分类词语"), 40, 8);
    Label2 = label(this, "Label2", QStringLiteral("行业分类词语"), 200, 8);
    Memo1 = memo(this, "Memo1", QRect(8, 24, 137, 65), QStringLiteral("广州\n上海\n北京\n苏州"));
    Memo2 = memo(this, "Memo2", QRect(168, 24, 137, 65), QStringLiteral("服装\n服饰\n制衣\n时装"));
    Label3 = label(this, "Label3", QStringLiteral("百度搜索关键词列表文件内容"), 72, 104);
    Memo3 = memo(this, "Memo3", QRect(8, 120, 297, 73), QString());
    SpeedButton2
        = speedButton(this, "SpeedButton2", QStringLiteral("创建"), createGlyph(), QRect(72, 204, 65, 25));
    SpeedButton1
        = speedButton(this, "SpeedButton1", QStringLiteral("保存"), saveGlyph(), QRect(176, 204, 65, 25));
    setTabOrder(Memo1, Memo2);
    setTabOrder(Memo2, Memo3);
    connect(SpeedButton2, &QToolButton::clicked, this, &TForm3::SpeedButton2Click);
    connect(SpeedButton1, &QToolButton::clicked, this, &TForm3::SpeedButton1Click);

    SaveDialog1.title = QStringLiteral("生成搜索关键词列表文件");
    SaveDialog1.filter = QStringLiteral("Text files(*.txt)|*.txt|All files(*.*)|*.*");
    SaveDialog1.defaultSuffix = QStringLiteral("txt");
    SaveDialog1.overwritePrompt = true;
}

void TForm3::SpeedButton2Click()
{
    const QStringList regions = displayLines(Memo1);
    const QStringList trades = displayLines(Memo2);
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
    Memo3->setPlainText(result);
}

void TForm3::SpeedButton1Click()
{
    ui::guarded([this] {
        SaveDialog1.initialDir = io::exeDir();
        SaveDialog1.fileName = ProposedFileName;
        repaint();
        const std::optional<QString> path = ui::dialogs().saveFile(this, SaveDialog1);
        if (!path)
            return;
        // Written to a companion file and renamed over the target, so a
        // failed save leaves any earlier file whole.
        io::replaceFile(*path, fileBytes(Memo3->toPlainText()));
    });
}

} // namespace tess::tools
