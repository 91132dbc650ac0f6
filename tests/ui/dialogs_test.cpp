#include "ui/QtDialogs.h"

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
