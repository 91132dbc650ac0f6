#pragma once

#include "ui/Dialogs.h"

#include "ui/SecondaryWindow.h"

class QLabel;
class QTabWidget;
class QTextEdit;
class QToolButton;

namespace tess::tools {

// The keyword list builder: combines every region word with every trade
// word into a keyword list file for the Import command. One instance lives
// for the whole run, so the three boxes keep their contents between
// showings.
class KeywordListBuilder final : public ui::SecondaryWindow {
    Q_OBJECT
public:
    static inline const QString kProposedFileName = QStringLiteral("搜索关键词列表文件.txt");

    explicit KeywordListBuilder(QWidget* parent = nullptr);

    QTextEdit* regionWordsEdit() const { return m_regionWordsEdit; }
    QTextEdit* tradeWordsEdit() const { return m_tradeWordsEdit; }
    QTextEdit* keywordListEdit() const { return m_keywordListEdit; }
    const ui::FileDialog& saveDialog() const { return m_saveDialog; }

    // Adds a page after the word lists' own; the window then shows its
    // pages as tabs, the first "组合", and takes each page's size as it is
    // chosen.
    void addPage(QWidget* page, const QString& title);
    QTabWidget* pages() const { return m_pages; }

public slots:
    // Create: each line of the region words with each line of the trade
    // words, as "R T", into the keyword list box.
    void buildKeywordList();
    // Save: the keyword list box's text, as GBK with CR LF line ends, to a
    // chosen file.
    void saveKeywordList();

private:
    // The window's size on the word lists' page.
    QSize combinedSize() const;

    QLabel* m_regionWordsLabel;
    QLabel* m_tradeWordsLabel;
    QLabel* m_keywordListLabel;
    QTextEdit* m_regionWordsEdit;
    QTextEdit* m_tradeWordsEdit;
    QTextEdit* m_keywordListEdit;
    QToolButton* m_buildButton;
    QToolButton* m_saveButton;
    ui::FileDialog m_saveDialog;
    QTabWidget* m_pages = nullptr;
};

} // namespace tess::tools
