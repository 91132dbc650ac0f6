#include "sites/SiteAddress.h"
#include "sites/SuffixWalk.h"
#include "text/Gbk.h"

#include <QFile>
#include <QHashFunctions>

#include <libpsl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tess::sites {
namespace detail {
namespace {

constexpr char kListFile[] = "/usr/share/publicsuffix/public_suffix_list.dat";
constexpr int kLookupTypes = PSL_TYPE_ANY | PSL_TYPE_NO_STAR_RULE;

struct ViewHash {
    using is_transparent = void;
    size_t operator()(std::string_view name) const { return std::hash<std::string_view> {}(name); }
};

// What the rules' text says of a name, in ASCII: whether some rule names
// it ("github.io" of "github.io", "ck" of "*.ck"), whether some rule
// reaches past it ("com" of "github.com"), whether a "*" stands left of it
// ("ck" of "*.ck"), and libpsl's own answer for it. A name no rule names
// and no "*" covers is no public suffix; past a name no rule reaches, no
// longer name is one either. Names in Unicode are left out: a host has them
// in punycode, and a name with an "xn--" label is always asked of libpsl.
struct RuleName {
    bool named = false;
    bool reachedPast = false;
    bool starred = false;
    bool isSuffix = false;
};
using RuleNames = std::unordered_map<std::string, RuleName, ViewHash, std::equal_to<>>;

// The names again for the walk, in one flat table: a probe or two a name,
// no node to chase.
class NameTable {
public:
    void build(const RuleNames& names)
    {
        size_t size = 16;
        while (size < names.size() * 2)
            size *= 2;
        m_slots.assign(size, {});
        m_mask = size - 1;
        m_named.assign(kNamedBits / 64, 0);
        for (const auto& [name, rule] : names) {
            if (name.empty())
                continue;
            const Slot slot { hashOf(name), uint32_t(m_text.size()), uint32_t(name.size()), rule };
            m_text += name;
            m_named[namedBit(slot.hash) / 64] |= uint64_t(1) << (namedBit(slot.hash) % 64);
            size_t i = slot.hash & m_mask;
            while (m_slots[i].size != 0)
                i = (i + 1) & m_mask;
            m_slots[i] = slot;
        }
    }
    const RuleName* find(QByteArrayView name) const
    {
        if (m_slots.empty())
            return nullptr;
        const size_t hash = hashOf(name);
        // Most names a walk ends at (a host's own) are no rule's: the bits
        // say so from the caches, where a probe of the slots would wait
        // for memory.
        if ((m_named[namedBit(hash) / 64] >> (namedBit(hash) % 64) & 1) == 0)
            return nullptr;
        for (size_t i = hash & m_mask;; i = (i + 1) & m_mask) {
            const Slot& slot = m_slots[i];
            if (slot.size == 0)
                return nullptr;
            if (slot.hash == hash && QByteArrayView(m_text.data() + slot.at, slot.size) == name)
                return &slot.rule;
        }
    }

private:
    struct Slot {
        size_t hash = 0;
        uint32_t at = 0;
        uint32_t size = 0; // 0: empty
        RuleName rule;
    };
    static size_t hashOf(QByteArrayView name) { return qHash(name); }
    // Bits other than those that pick the slot.
    static size_t namedBit(size_t hash) { return (hash >> 40) % kNamedBits; }
    static constexpr size_t kNamedBits = size_t(1) << 18;

    std::vector<Slot> m_slots;
    std::vector<uint64_t> m_named; // a bit a hash some name has
    size_t m_mask = 0;
    std::string m_text;
};

struct SuffixList {
    const psl_ctx_t* psl = nullptr;
    bool bounded = false;
    NameTable names;
};

bool hasIdnLabel(QByteArrayView name) { return name.startsWith("xn--") || name.contains(".xn--"); }

RuleName* ruleName(QByteArrayView name, RuleNames& names)
{
    const QByteArray lower = name.toByteArray().toLower();
    return text::isAscii(lower) ? &names[lower.toStdString()] : nullptr;
}

// False for a rule the walk cannot go by: a "*" anywhere but as its first
// label.
bool addRule(QByteArrayView rule, RuleNames& names)
{
    if (rule.startsWith('!'))
        rule = rule.sliced(1);
    if (rule.lastIndexOf('*') > 0 || (rule.startsWith('*') && !rule.startsWith("*.")))
        return false;
    if (rule.startsWith("*.")) {
        if (RuleName* name = ruleName(rule.sliced(2), names))
            name->starred = true;
    } else if (RuleName* name = ruleName(rule, names)) {
        name->named = true;
    }
    for (qsizetype dot = rule.indexOf('.'); dot >= 0; dot = rule.indexOf('.', dot + 1)) {
        if (RuleName* name = ruleName(rule.sliced(dot + 1), names))
            name->reachedPast = true;
    }
    return true;
}

// The rules as the list's text has them: the first word of each line that
// is not blank or a comment.
bool readRules(const QByteArray& text, RuleNames& names)
{
    for (qsizetype at = 0; at < text.size();) {
        qsizetype end = text.indexOf('\n', at);
        if (end < 0)
            end = text.size();
        QByteArrayView line = QByteArrayView(text).sliced(at, end - at).trimmed();
        at = end + 1;
        const auto blank
            = std::find_if(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
        line = line.first(blank - line.begin());
        if (!line.isEmpty() && !line.startsWith("//") && !addRule(line, names))
            return false;
    }
    return true;
}

// The distribution's list (the publicsuffix package) is kept current by its
// updates; the copy built into the library is as old as the library and
// stands in only where the data file is missing or unreadable, asked label
// by label. libpsl reads the very bytes the rules' names come from. Loaded
// once, kept for the life of the program.
SuffixList loadSuffixList()
{
    SuffixList list;
    QFile file(QString::fromLatin1(kListFile));
    QByteArray text;
    if (file.open(QIODevice::ReadOnly))
        text = file.readAll();
    if (!text.isEmpty()) {
        if (FILE* in = ::fmemopen(text.data(), size_t(text.size()), "r")) {
            list.psl = psl_load_fp(in);
            std::fclose(in);
        }
    }
    RuleNames names;
    if (list.psl && readRules(text, names)) {
        list.bounded = true;
        for (auto& [name, rule] : names)
            rule.isSuffix = psl_is_public_suffix2(list.psl, name.c_str(), kLookupTypes) != 0;
        list.names.build(names);
        return list;
    }
    if (!list.psl) {
        const psl_ctx_t* latest = psl_latest(nullptr);
        list.psl = latest ? latest : psl_builtin();
    }
    return list;
}

const SuffixList& suffixList()
{
    static const SuffixList list = loadSuffixList();
    return list;
}

// Where the labels that can be looked up start: labels left of a byte
// above 0x7f (a host that is not valid UTF-8) are never looked up, as no
// rule holds raw bytes; -1 when no label is left.
qsizetype firstLookedUp(const QByteArray& key)
{
    for (qsizetype i = key.size() - 1; i >= 0; --i) {
        if (static_cast<unsigned char>(key[i]) >= 0x80) {
            const qsizetype dot = key.indexOf('.', i);
            return dot < 0 ? -1 : dot + 1;
        }
    }
    return 0;
}

// Where the label that ends before `end` (the key's size, or a dot's place
// plus one) starts, not before `first`. A loop of its own: the library's
// search is made for longer haystacks than a label.
qsizetype labelBefore(const QByteArray& key, qsizetype end, qsizetype first)
{
    const char* data = key.constData();
    qsizetype at = end == key.size() ? end : end - 1;
    while (at > first && data[at - 1] != '.')
        --at;
    return at;
}

bool isSuffix(const SuffixList& list, const QByteArray& key, qsizetype start)
{
    return psl_is_public_suffix2(list.psl, key.constData() + start, kLookupTypes) != 0;
}

} // namespace

// The list's implicit "*" rule is left out: a host under a suffix nobody
// registered is its own domain, not one label under an invented suffix.
qsizetype suffixStartLabelByLabel(const QByteArray& key)
{
    const SuffixList& list = suffixList();
    qsizetype start = firstLookedUp(key);
    if (!list.psl || start < 0)
        return -1;
    while (true) {
        if (isSuffix(list, key, start))
            return start;
        const qsizetype dot = key.indexOf('.', start);
        if (dot < 0)
            return -1;
        start = dot + 1;
    }
}

// From the right, one label at a time, while some rule reaches past the
// name so far; the first name none reaches past is the longest that can be
// a suffix. libpsl is asked only of names the rules' text cannot answer for.
qsizetype suffixStart(const QByteArray& key)
{
    const SuffixList& list = suffixList();
    if (!list.bounded)
        return suffixStartLabelByLabel(key);
    const qsizetype first = firstLookedUp(key);
    if (first < 0)
        return -1;
    qsizetype found = -1;
    bool starred = false; // a "*" stands left of the name before
    for (qsizetype start = key.size(); start > first;) {
        start = labelBefore(key, start, first);
        const QByteArrayView name = QByteArrayView(key).sliced(start);
        const RuleName* rule = list.names.find(name);
        const bool known = rule != nullptr;
        if (known ? rule->isSuffix : (starred || hasIdnLabel(name)) && isSuffix(list, key, start))
            found = start;
        if (known ? !rule->reachedPast : !hasIdnLabel(name))
            return found;
        starred = known && rule->starred;
    }
    return found;
}

bool suffixWalkIsBounded() { return suffixList().bounded; }

} // namespace detail

qsizetype registrableDomainStart(const SiteAddress& address)
{
    const QByteArray& key = address.hostKey;
    if (address.isIp)
        return 0;
    const qsizetype start = detail::suffixStart(key);
    if (start <= 0) // no known suffix, or the host is one
        return 0;
    // The label before the suffix; hosts are short, a loop beats a call.
    qsizetype from = start - 1;
    while (from > 0 && key[from - 1] != '.')
        --from;
    return from;
}

QByteArray registrableDomain(const SiteAddress& address)
{
    const qsizetype start = registrableDomainStart(address);
    return start == 0 ? address.hostKey : address.hostKey.sliced(start);
}

QByteArray publicSuffix(const SiteAddress& address)
{
    if (address.isIp)
        return {};
    const qsizetype start = detail::suffixStart(address.hostKey);
    return start < 0 ? QByteArray() : address.hostKey.sliced(start);
}

} // namespace tess::sites
