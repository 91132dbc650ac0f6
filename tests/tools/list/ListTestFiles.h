#pragma once

#include "support/Files.h"
#include "tools/list/ListCommand.h"

#include <QByteArrayList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Lists written to a temporary folder and run through `tessaroon list`'s
// steps.
namespace tess::test {

inline QByteArray crLfLines(const QByteArrayList& lines)
{
    QByteArray out;
    for (const QByteArray& line : lines)
        out += line + "\r\n";
    return out;
}

// The target's bytes after listing `input` with `steps` (words as on the
// command line, before -o).
inline QByteArray listed(const QTemporaryDir& dir, const QByteArray& input, const QStringList& steps,
    qint64 budget = 0, tools::ListCounts* counts = nullptr)
{
    const QString source = writeFile(dir.filePath(QStringLiteral("in.txt")), input);
    const QString target = dir.filePath(QStringLiteral("out.txt"));
    QString wrong;
    const std::optional<tools::ListArguments> arguments
        = tools::parseListArguments(steps + QStringList { QStringLiteral("-o"), target, source }, &wrong);
    EXPECT_TRUE(arguments) << wrong.toStdString();
    if (!arguments)
        return "<wrong>";
    tools::ListOptions options;
    options.memoryBudget = budget;
    options.spillFolder = dir.path();
    const tools::ListCounts got = tools::runList(*arguments, options);
    if (counts)
        *counts = got;
    return readFile(target);
}

} // namespace tess::test
