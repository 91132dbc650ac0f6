#include "harvest/RuleSet.h"

namespace tess::harvest {
namespace {

// Both sets know the engine's verification page.
void addVerification(RuleSet& r)
{
    r.verifyHosts = { "wappass.baidu.com" };
    r.verifyTitles = { QStringLiteral("安全验证") };
}

RuleSet makeClassic()
{
    RuleSet r;
    r.name = QStringLiteral("classic");
    r.label = QStringLiteral("经典");
    addVerification(r);
    return r;
}

RuleSet makeToday()
{
    RuleSet r;
    r.name = QStringLiteral("today");
    r.label = QStringLiteral("现行");
    r.scheme = "https";
    r.linkPrefixes = { "http://", "https://" };
    r.ownLinks = RuleSet::OwnLinks::NamedHosts;
    // The engine's domain, its snapshot cache, its portal and the hosts
    // its pages take pictures and scripts from.
    r.ownHosts = { "baidu.com", "baiducontent.com", "hao123.com", "bdstatic.com", "bdimg.com" };
    r.redirectPath = "/link?url=";
    r.targetAttributes = { QStringLiteral("mu") };
    r.pager = RuleSet::Pager::NextLink;
    addVerification(r);
    return r;
}

} // namespace

const RuleSet& classicRules()
{
    static const RuleSet rules = makeClassic();
    return rules;
}

const RuleSet& todayRules()
{
    static const RuleSet rules = makeToday();
    return rules;
}

QList<RuleSet> builtInRuleSets() { return { classicRules(), todayRules() }; }

} // namespace tess::harvest
