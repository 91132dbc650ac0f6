#include "harvest/RuleCatalog.h"

#include "harvest/RuleSetFile.h"
#include "io/FileReader.h"
#include "text/Errors.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace tess::harvest {
namespace {

const QString kRulesKey = QStringLiteral("harvest/rules");
const QString kExclusionListKey = QStringLiteral("harvest/excludeList");
const QString kSkipAdsKey = QStringLiteral("harvest/noAds");

// The per-user settings, named outright so they do not depend on the
// application's names being set yet: ~/.config/tessaroon/tessaroon.ini.
QSettings userSettings()
{
    return QSettings(
        QSettings::IniFormat, QSettings::UserScope, QStringLiteral("tessaroon"), QStringLiteral("tessaroon"));
}

} // namespace

RuleCatalog::RuleCatalog()
    : m_sets(builtInRuleSets())
{
}

void RuleCatalog::loadFolder(const QString& folder)
{
    // Files and whatever else bears the name (a folder, a dangling link, a
    // pipe), so that what cannot be read is said instead of passed over.
    const QFileInfoList files = QDir(folder).entryInfoList({ QStringLiteral("*.rules") },
        QDir::Files | QDir::Dirs | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& file : files)
        load(file);
}

void RuleCatalog::load(const QFileInfo& file)
{
    const QString shown = QDir::toNativeSeparators(file.filePath());
    if (file.isDir()) {
        m_faults.append({ QStringLiteral("规则文件 %1 不是文件，而是文件夹").arg(shown), {} });
        return;
    }
    QByteArray content;
    try {
        // The file layer's message names the file and the system's reason.
        io::FileReader reader(file.filePath(), io::ReadFailure::InOut, { .detailedErrors = true });
        bool tooLarge = reader.size() > kMaxRuleSetFileSize;
        if (!tooLarge) {
            reader.readChunks([&](const char* data, qsizetype size) {
                content.append(data, size);
                tooLarge = content.size() > kMaxRuleSetFileSize;
                return !tooLarge;
            });
        }
        if (tooLarge) {
            m_faults.append({ QStringLiteral("规则文件 %1 过大（超过 %2 KiB），未读取")
                                  .arg(shown)
                                  .arg(kMaxRuleSetFileSize / 1024),
                {} });
            return;
        }
    } catch (const text::AppError& e) {
        m_faults.append({ QStringLiteral("规则文件 %1 无法读取：%2").arg(shown, e.message()), {} });
        return;
    }

    RuleSetFileResult result = parseRuleSetFile(content, shown, m_sets);
    if (const auto* fault = std::get_if<RuleSetFileError>(&result)) {
        m_faults.append({ fault->message, fault->setName });
        return;
    }
    take(std::move(std::get<RuleSet>(result)));
}

void RuleCatalog::take(RuleSet rules)
{
    if (!m_fromFiles.contains(rules.name))
        m_fromFiles.append(rules.name);
    for (RuleSet& s : m_sets) {
        if (s.name == rules.name) {
            s = std::move(rules);
            return;
        }
    }
    m_sets.append(std::move(rules));
}

QList<RuleFileNotTaken> RuleCatalog::errors() const
{
    using Standing = RuleFileNotTaken::Standing;
    QList<RuleFileNotTaken> out;
    for (const Fault& f : m_faults) {
        Standing standing = Standing::Unnamed;
        if (!f.setName.isEmpty()) {
            if (!find(f.setName))
                standing = Standing::Missing;
            else
                standing = m_fromFiles.contains(f.setName) ? Standing::FromOtherFile : Standing::BuiltIn;
        }
        out.append({ f.message, f.setName, standing });
    }
    return out;
}

const RuleSet* RuleCatalog::find(const QString& name) const { return findRuleSet(m_sets, name); }

QStringList RuleCatalog::names() const
{
    QStringList names;
    for (const RuleSet& s : m_sets)
        names.append(s.name);
    return names;
}

QString defaultRulesFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/rules");
}

QString rememberedRules() { return userSettings().value(kRulesKey, classicRules().name).toString(); }

void rememberRules(const QString& name) { userSettings().setValue(kRulesKey, name); }

QString rememberedExclusionList() { return userSettings().value(kExclusionListKey).toString(); }

void rememberExclusionList(const QString& path) { userSettings().setValue(kExclusionListKey, path); }

bool rememberedSkipAds() { return userSettings().value(kSkipAdsKey, false).toBool(); }

void rememberSkipAds(bool skip) { userSettings().setValue(kSkipAdsKey, skip); }

} // namespace tess::harvest
