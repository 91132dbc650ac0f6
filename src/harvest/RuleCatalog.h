#pragma once

#include "harvest/RuleSet.h"

#include <QFileInfo>
#include <QList>
#include <QString>
#include <QStringList>

namespace tess::harvest {

// A rule set file the catalog did not take, and what became of the set it
// is about.
struct RuleFileNotTaken {
    enum class Standing {
        Unnamed, // the file's set name could not be read
        BuiltIn, // the built-in set of that name, as the program has it
        FromOtherFile, // the set of that name as another file made it
        Missing, // no set bears that name
    };
    QString message; // names the file, and the line where there is one
    QString setName; // empty when Unnamed
    Standing standing = Standing::Unnamed;
};

// The rule sets a user can choose from: the built-in ones, then those of
// the user's rule set files (RuleSetFile.h).
class RuleCatalog final {
public:
    // Holds the built-in sets: classic, today, 360, sogou, bing.
    RuleCatalog();

    // Reads every "*.rules" file of `folder` in the order of their names.
    // Each file adds a set, or replaces the set of its name where that set
    // stands, so a user's "classic" is the classic the program uses. A
    // file that cannot be read or is at fault changes nothing, and goes to
    // errors(); so does anything else of such a name (a folder, a pipe). A
    // missing folder holds no files.
    void loadFolder(const QString& folder);

    // The set of that name, or null. "baidu" (kTodayAlias) names today's
    // set, unless a user's file made a set called baidu: a set of the
    // name itself always wins over the alias.
    const RuleSet* find(const QString& name) const;
    // The built-in sets first, then the added ones in the order they were
    // loaded.
    const QList<RuleSet>& sets() const { return m_sets; }
    QStringList names() const;
    // Each file not taken, in the order they were read, with what its set
    // stands as after every file read so far.
    QList<RuleFileNotTaken> errors() const;

private:
    struct Fault {
        QString message;
        QString setName;
    };

    void load(const QFileInfo& file);
    void take(RuleSet rules);

    QList<RuleSet> m_sets;
    QStringList m_fromFiles; // the names of the sets files made or changed
    QList<Fault> m_faults;
};

// Rule set files never grow anywhere near this; a larger file is refused
// instead of read.
inline constexpr qsizetype kMaxRuleSetFileSize = 1024 * 1024;

// Where the user's rule set files live: "rules" in the program's per-user
// configuration folder (~/.config/tessaroon/rules). Needs the application
// name set.
QString defaultRulesFolder();

// The rule set chosen last, as kept in the per-user settings
// (~/.config/tessaroon/tessaroon.ini, key harvest/rules); "classic" when
// none was kept. The name may no longer be in the catalog.
QString rememberedRules();
void rememberRules(const QString& name);

// The exclusion list (排除列表) chosen last, as kept in the same settings (key
// harvest/excludeList); empty when none.
QString rememberedExclusionList();
void rememberExclusionList(const QString& path);

// 不要广告 as the user left it (key harvest/noAds); off when never set.
bool rememberedSkipAds();
void rememberSkipAds(bool skip);

} // namespace tess::harvest
