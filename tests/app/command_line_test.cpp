#include "app/CommandLine.h"

#include <gtest/gtest.h>

using tess::app::CommandLine;

TEST(CommandLine, ReadsTheEngineHostMergeAndHelp)
{
    auto cl = CommandLine::parse({ QStringLiteral("--engine-host"), QStringLiteral("127.0.0.1:8642") });
    EXPECT_EQ(cl.action, CommandLine::Action::RunWindow);
    EXPECT_EQ(cl.engineHost, QByteArray("127.0.0.1:8642"));
    EXPECT_EQ(CommandLine::parse({ QStringLiteral("--engine-host=www.example.com") }).engineHost,
        QByteArray("www.example.com"));
    EXPECT_EQ(
        CommandLine::parse({ QStringLiteral("--engine-host=h:65535") }).engineHost, QByteArray("h:65535"));

    cl = CommandLine::parse(
        { QStringLiteral("merge"), QStringLiteral("-o"), QStringLiteral("t.txt"), QStringLiteral("a.txt") });
    EXPECT_EQ(cl.action, CommandLine::Action::Merge);
    EXPECT_EQ(cl.merge.target, QStringLiteral("t.txt"));
    EXPECT_EQ(cl.merge.sources, QStringList { QStringLiteral("a.txt") });
    EXPECT_EQ(
        CommandLine::parse({ QStringLiteral("merge"), QStringLiteral("-o"), QStringLiteral("t.txt") }).action,
        CommandLine::Action::MergeUsage);
    EXPECT_EQ(CommandLine::parse({ QStringLiteral("--help") }).action, CommandLine::Action::Help);
    EXPECT_EQ(CommandLine::parse({}).engineHost, QByteArray());
}

TEST(CommandLine, RefusesAHostThatWouldChangeTheRequest)
{
    for (const char* bad : { "evil.com/x?", "a b", "host:port", "", "x@y", "h:65536", "h:99999", "h:0" })
        EXPECT_EQ(CommandLine::parse({ QStringLiteral("--engine-host"), QString::fromLatin1(bad) }).action,
            CommandLine::Action::Error)
            << bad;
    EXPECT_EQ(CommandLine::parse({ QStringLiteral("--engine-host") }).action, CommandLine::Action::Error);
}
