#pragma once

#include "ui/Dialogs.h"

#include "ui/SecondaryWindow.h"

class QLabel;
class QTextEdit;
class QToolButton;

namespace tess::tools {

// The keyword list builder: combines every region word with every trade
// word into a keyword list file for the Import command. One instance lives
// for the whole run, so the three boxes keep their contents between
// showings.
class TForm3 final : public ui::SecondaryWindow {
    Q_OBJECT
public:
    static inline const QString ProposedFileName = QStringLiteral("搜索关键词列表文件.txt");

    explicit TForm3(QWidget* parent = nullptr);

    QTextEdit* memo1() const { return Memo1; }
    QTextEdit* memo2() const { return Memo2; }
    QTextEdit* memo3() const { return Memo3; }
    const ui::FileDialog& saveDialog() const { return SaveDialog1; }

public slots:
    // Create: each line of Memo1 with each line of Memo2, as "R T".
    void SpeedButton2Click();
    // Save: Memo3's text, as GBK with CR LF line ends, to a chosen file.
    void SpeedButton1Click();

private:
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QTextEdit* Memo1;
    QTextEdit* Memo2;
    QTextEdit* Memo3;
    QToolButton* SpeedButton2;
    QToolButton* SpeedButton1;
    ui::FileDialog SaveDialog1;
};

} // namespace tess::tools
