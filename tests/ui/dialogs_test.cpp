#include "ui/QtDialogs.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include <gtest/gtest.h>

using tess::ui::nameFilters;

TEST(FileDialogFilters, LabelsStayAsWrittenAndAllFilesMeansEveryFile)
{
    EXPECT_EQ(nameFilters(QStringLiteral("Text files(*.txt)|*.txt|All files(*.*)|*.*")),
        (QStringList { QStringLiteral("Text files(*.txt)"), QStringLiteral("All files(*.*) (*)") }));
    EXPECT_EQ(nameFilters(QStringLiteral("文本文件(*.txt)|*.txt|所有文件(*.*)|*.*")),
        (QStringList { QStringLiteral("文本文件(*.txt)"), QStringLiteral("所有文件(*.*) (*)") }));
    // A label without its pattern gets it, several patterns side by side.
    EXPECT_EQ(nameFilters(QStringLiteral("Lists|*.txt;*.lst")),
        QStringList { QStringLiteral("Lists (*.txt *.lst)") });
}

TEST(ListMessage, ShowsEveryEntryInOneScrollingBox)
{
    QStringList entries;
    for (int i = 0; i < 200; ++i)
        entries << QStringLiteral("规则文件 /r/%1.rules 第 2 行：缺少“=”\n此文件未被采用。").arg(i);
    QString title;
    QString shownText;
    bool scrolls = false;
    QStringList labels;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        for (const QLabel* label : box->findChildren<QLabel*>())
            labels << label->text();
        auto* list = box->findChild<QPlainTextEdit*>(QStringLiteral("entries"));
        ASSERT_NE(list, nullptr);
        shownText = list->toPlainText();
        scrolls = list->verticalScrollBar()->maximum() > 0;
        for (QPushButton* b : box->findChildren<QPushButton*>()) {
            if (b->text() == QStringLiteral("确定"))
                b->click();
        }
    });
    QTimer::singleShot(5000, [&] {
        // Never left open whatever went wrong above.
        if (QWidget* box = QApplication::activeModalWidget())
            box->close();
    });
    tess::ui::QtDialogs().listMessage(nullptr, QStringLiteral("200 个规则文件有误："), entries);

    EXPECT_EQ(labels, QStringList { QStringLiteral("200 个规则文件有误：") });
    EXPECT_EQ(title, tess::ui::applicationTitle());
    EXPECT_EQ(shownText, entries.join(QStringLiteral("\n\n")));
    EXPECT_TRUE(scrolls);
}
