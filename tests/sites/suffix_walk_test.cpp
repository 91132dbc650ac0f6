#include "sites/SuffixWalk.h"

#include <QFile>
#include <QUrl>

#include <gtest/gtest.h>

using namespace tess::sites::detail;

namespace {

const char kListFile[] = "/usr/share/publicsuffix/public_suffix_list.dat";

// The names a rule stands for and the hosts around them: the rule itself,
// a label or two more, a "*" as a label of its own and as a name, and the
// rule's tails.
QByteArrayList hostsAround(QByteArray rule)
{
    if (rule.startsWith('!'))
        rule.remove(0, 1);
    if (rule.startsWith("*."))
        rule.remove(0, 2);
    const QByteArray lower = QUrl::toAce(QString::fromUtf8(rule)).toLower();
    const QByteArray name = lower.isEmpty() ? rule.toLower() : lower;
    QByteArrayList hosts { name, "a." + name, "www." + name, "b.a." + name, "c.b.a." + name };
    for (qsizetype dot = name.indexOf('.'); dot >= 0; dot = name.indexOf('.', dot + 1))
        hosts << name.sliced(dot + 1) << "z." + name.sliced(dot + 1) << "y.z." + name.sliced(dot + 1);
    return hosts;
}

} // namespace

TEST(SuffixWalk, EveryRuleOfTheListAnsweredAsLabelByLabel)
{
    QFile file(QString::fromLatin1(kListFile));
    if (!file.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "no " << kListFile;
    ASSERT_TRUE(suffixWalkIsBounded());
    int rules = 0;
    for (QByteArray line : file.readAll().split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith("//"))
            continue;
        ++rules;
        for (const QByteArray& host : hostsAround(line.split(' ').front())) {
            SCOPED_TRACE(host.constData());
            ASSERT_EQ(suffixStart(host), suffixStartLabelByLabel(host));
        }
    }
    EXPECT_GT(rules, 5000);
}

TEST(SuffixWalk, HostsUnderNoRuleAndOddOnes)
{
    const char* const hosts[] = {
        "com",
        "example.com",
        "www.example.com",
        "a.b.c.d.e.f.g.h.i.j.example.com.cn",
        "example.zz",
        "zz",
        "www.ck",
        "a.www.ck",
        "x.y.ck",
        "s3.amazonaws.com",
        "a.s3.amazonaws.com",
        "b.a.compute.amazonaws.com",
        "xn--fsqu00a.xn--fiqs8s",
        "a.xn--fsqu00a.xn--fiqs8s",
        "a.xn--55qx5d.cn",
        "b.a.xn--55qx5d.cn",
        "\xd6\xd0\xce\xc4.com",
        "a.\xd6\xd0\xce\xc4",
        "github.io",
        "alice.github.io",
        "1.2.3.4.5",
    };
    for (const char* host : hosts) {
        SCOPED_TRACE(host);
        EXPECT_EQ(suffixStart(host), suffixStartLabelByLabel(host));
    }
}
