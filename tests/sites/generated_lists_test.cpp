// The address reader and the site list against a reference written from the
// rules alone, on generated hostile lists. The reference is plain and slow on
// purpose: std::string, regular expressions, and a hand list of the suffix
// rules the generated hosts end in.
#include "sites/SiteAddress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

using namespace tess::sites;

namespace {

// ---- The reference ----

const std::vector<std::string> kSuffixRules
    = { "com.cn", "com", "cn", "co.uk", "uk", "github.io", "io", "org" };

// The IDN labels the generator writes, in UTF-8 and in their ASCII form.
const std::vector<std::pair<std::string, std::string>> kIdnLabels = {
    { "例子", "xn--fsqu00a" },
    { "测试", "xn--0zwm56d" },
    { "bücher", "xn--bcher-kva" },
    { "münchen", "xn--mnchen-3ya" },
};

struct RefAddress {
    std::string scheme, userInfo, host, port, fromQuery;
    bool isIp = false;
    std::string key, domain, suffix, written;
};

std::string lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::vector<std::string> split(const std::string& s, char by)
{
    std::vector<std::string> parts(1);
    for (char c : s) {
        if (c == by)
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

std::string join(const std::vector<std::string>& parts, size_t from)
{
    std::string out;
    for (size_t i = from; i < parts.size(); ++i)
        out += (i > from ? "." : "") + parts[i];
    return out;
}

bool hostBytesOk(const std::string& label)
{
    return !label.empty() && std::all_of(label.begin(), label.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_'
            || static_cast<unsigned char>(c) >= 0x80;
    });
}

// The compared form of a name: each label lowered, an IDN label in UTF-8
// replaced by its ASCII form.
std::string nameKey(const std::vector<std::string>& labels)
{
    std::vector<std::string> keys;
    for (const std::string& label : labels) {
        std::string key = lower(label);
        for (const auto& [utf8, ascii] : kIdnLabels)
            if (key == utf8) // the generator changes ASCII letters' case only
                key = ascii;
        keys.push_back(key);
    }
    return join(keys, 0);
}

// The longest rule the key ends in; the domain is one label more, or the key.
void suffixOf(RefAddress& a)
{
    const std::vector<std::string> labels = split(a.key, '.');
    for (size_t i = 0; i < labels.size(); ++i) {
        const std::string tail = join(labels, i);
        if (std::find(kSuffixRules.begin(), kSuffixRules.end(), tail) != kSuffixRules.end()) {
            a.suffix = tail;
            a.domain = i == 0 ? a.key : join(labels, i - 1);
            return;
        }
    }
    a.domain = a.key;
}

// The host part: "[v6]" (the generator writes valid ones only) or a name.
bool refHost(RefAddress& a, const std::string& hostPort)
{
    static const std::regex port(":[0-9]*");
    static const std::regex quad("([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})");
    size_t hostLength = hostPort.find(':');
    if (!hostPort.empty() && hostPort[0] == '[') {
        const size_t close = hostPort.find(']');
        if (close == std::string::npos)
            return false;
        hostLength = close + 1;
        a.isIp = true;
        a.written = hostPort.substr(1, close - 1);
        a.key = lower(a.written);
    }
    a.host = hostPort.substr(0, hostLength);
    a.port = hostLength == std::string::npos ? "" : hostPort.substr(hostLength);
    if (!a.port.empty() && !std::regex_match(a.port, port))
        return false;
    if (a.isIp)
        return true;
    std::string name = a.host;
    if (!name.empty() && name.back() == '.')
        name.pop_back();
    std::vector<std::string> labels = split(name, '.');
    if (!std::all_of(labels.begin(), labels.end(), hostBytesOk))
        return false;
    std::smatch m;
    if (std::regex_match(name, m, quad)
        && std::all_of(m.begin() + 1, m.end(), [](const auto& n) { return std::stoi(n.str()) <= 255; })) {
        a.isIp = true;
        a.written = name;
        for (size_t i = 1; i <= 4; ++i)
            a.key += (i > 1 ? "." : "") + std::to_string(std::stoi(m[i].str()));
        return true;
    }
    a.key = nameKey(labels);
    suffixOf(a);
    a.written = join(labels, labels.size() - split(a.domain, '.').size());
    return true;
}

std::optional<RefAddress> reference(const std::string& line, bool bareNames)
{
    static const std::regex scheme("^[A-Za-z][A-Za-z0-9+.-]*://");
    RefAddress a;
    std::smatch m;
    if (std::regex_search(line, m, scheme))
        a.scheme = m.str();
    std::string rest = line.substr(a.scheme.size());
    const auto authorityEnd = std::find_if(rest.begin(), rest.end(), [](char c) {
        return c == '/' || c == '?' || c == '#' || static_cast<unsigned char>(c) <= 0x20 || c == 0x7f;
    });
    const std::string authority(rest.begin(), authorityEnd);
    const size_t at = authority.rfind('@');
    a.userInfo = at == std::string::npos ? "" : authority.substr(0, at + 1);
    if (!refHost(a, authority.substr(a.userInfo.size())))
        return std::nullopt;
    if (a.isIp)
        a.domain = a.key;
    else if (!bareNames && a.scheme.empty() && a.key.find('.') == std::string::npos)
        return std::nullopt;
    const size_t afterHost = a.scheme.size() + authority.size();
    const size_t query = line.find_first_of("?#", afterHost);
    a.fromQuery = query == std::string::npos ? "" : line.substr(query);
    return a;
}

// ---- The generator ----

struct Generator {
    std::mt19937 random;

    template <typename T> const T& pick(const std::vector<T>& from)
    {
        return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(random)];
    }
    bool chance(int percent) { return std::uniform_int_distribution<int>(0, 99)(random) < percent; }

    std::string label()
    {
        const std::pair<std::string, std::string>& idn = pick(kIdnLabels);
        const std::vector<std::string> plain = { "www", "shop", "example", "my-site", "x_y", "b2b" };
        if (chance(25))
            return chance(50) ? idn.first : idn.second;
        return pick(plain);
    }
    std::string mixCase(std::string s)
    {
        for (char& c : s)
            if (std::isalpha(static_cast<unsigned char>(c)) && chance(30))
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return s;
    }
    std::string ipv4()
    {
        std::string out;
        for (int i = 0; i < 4; ++i) {
            const int n = std::uniform_int_distribution<int>(0, chance(10) ? 999 : 255)(random);
            out += (i ? "." : "") + std::string(chance(10) ? "0" : "") + std::to_string(n);
        }
        return out;
    }
    std::string host()
    {
        const int kind = std::uniform_int_distribution<int>(0, 9)(random);
        if (kind == 0)
            return ipv4();
        if (kind == 1)
            return "[" + mixCase(pick(std::vector<std::string> { "::1", "2001:db8::1", "fe80::1:2", "::" }))
                + "]";
        if (kind == 2)
            return mixCase(pick(std::vector<std::string> { "localhost", "intranet", "", "bücher" }));
        std::string name;
        for (int n = std::uniform_int_distribution<int>(0, 3)(random); n > 0; --n)
            name += label() + ".";
        return mixCase(name + pick(kSuffixRules)) + (chance(15) ? "." : "");
    }
    std::string line()
    {
        if (chance(8))
            return pick(std::vector<std::string> { "", "  ", "# note", "mailto:", "just words", "/bare/path",
                "http://", "http://[::1", "http:/x.com", "://x.org", "\xd6\xd0\xce\xc4" });
        const std::vector<std::string> schemes = { "", "", "http://", "https://", "HTTP://", "ftp://",
            "hxxp://", "git+ssh://", "1http://", "http:/" };
        const std::vector<std::string> users = { "", "", "", "user@", "user:pass@", "a@b@", "@" };
        const std::vector<std::string> ports = { "", "", "", ":80", ":8080", ":", ":8o" };
        const std::vector<std::string> paths = { "", "/", "/path/\xd6\xd0\xce\xc4.html", "/a@b:c", " note" };
        const std::vector<std::string> queries = { "", "", "?q=\xd6\xd0", "#frag", "?a=1#b" };
        return pick(schemes) + pick(users) + host() + pick(ports) + pick(paths) + pick(queries);
    }
    // A list: lines joined by CR LF or LF (the CR stays on the line), with
    // empty lines among them.
    std::vector<std::string> list(int size)
    {
        std::vector<std::string> lines;
        for (int i = 0; i < size; ++i)
            lines.push_back(chance(5) ? "" : line() + (chance(30) ? "\r" : ""));
        return lines;
    }
};

std::string shown(const std::string& line)
{
    std::string out;
    for (unsigned char c : line) {
        if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out;
}

QByteArray bytes(const std::string& s) { return QByteArray(s.data(), static_cast<qsizetype>(s.size())); }

void expectSameAddress(const std::string& text)
{
    SCOPED_TRACE(shown(text));
    const QByteArray line = bytes(text);
    const std::optional<RefAddress> ref = reference(text, false);
    const std::optional<SiteAddress> a = readSiteAddress(line);
    ASSERT_EQ(a.has_value(), ref.has_value());
    EXPECT_EQ(siteKey(line), ref ? bytes(ref->domain) : QByteArray());
    if (!ref)
        return;
    const auto size = [](const std::string& s) { return static_cast<qsizetype>(s.size()); };
    EXPECT_EQ(a->schemeEnd, size(ref->scheme));
    EXPECT_EQ(a->hostStart, size(ref->scheme + ref->userInfo));
    EXPECT_EQ(a->hostEnd, a->hostStart + size(ref->host));
    EXPECT_EQ(a->portEnd, a->hostEnd + size(ref->port));
    EXPECT_EQ(a->queryStart, line.size() - size(ref->fromQuery));
    EXPECT_EQ(a->isIp, ref->isIp);
    EXPECT_EQ(a->hostKey, bytes(ref->key));
    EXPECT_EQ(registrableDomain(*a), bytes(ref->domain));
    EXPECT_EQ(a->hostKey.sliced(registrableDomainStart(*a)), bytes(ref->domain));
    EXPECT_EQ(publicSuffix(*a), bytes(ref->suffix));
    EXPECT_EQ(writtenRegistrableDomain(line, *a), bytes(ref->written));
}

TEST(GeneratedLists, AddressesAgreeWithTheReference)
{
    int hosts = 0, none = 0, ips = 0, idns = 0, suffixes = 0;
    for (unsigned seed = 1; seed <= 20; ++seed) {
        Generator generate { std::mt19937(seed) };
        for (const std::string& line : generate.list(300)) {
            expectSameAddress(line);
            if (testing::Test::HasFailure())
                return; // the first line that differs says enough
            const std::optional<RefAddress> ref = reference(line, false);
            (ref ? hosts : none) += 1;
            ips += ref && ref->isIp;
            idns += ref && ref->key.find("xn--") != std::string::npos;
            suffixes += ref && !ref->suffix.empty() && ref->suffix.find('.') != std::string::npos;
        }
    }
    // The lists are hostile, not hopeless: every kind shows up often.
    EXPECT_GT(none, 300);
    EXPECT_GT(hosts, 2000);
    EXPECT_GT(ips, 200);
    EXPECT_GT(idns, 500);
    EXPECT_GT(suffixes, 400);
}

TEST(GeneratedLists, UnicodeAndAsciiFormsOfAnIdnAreOneHost)
{
    for (const auto& [utf8, ascii] : kIdnLabels) {
        SCOPED_TRACE(ascii);
        const QByteArray written = bytes("http://www." + utf8 + ".com.cn/");
        const QByteArray encoded = bytes("www." + lower(ascii) + ".COM.cn");
        EXPECT_EQ(siteKey(written), siteKey(encoded));
        EXPECT_EQ(siteKey(written), bytes(ascii + ".com.cn"));
    }
}

// The site list reads a generated list as its entries (a lone name is a
// domain there) and answers for generated address lines as the reference's
// walk over the entries' keys does.
TEST(GeneratedLists, SiteListsAgreeWithTheReference)
{
    for (unsigned seed = 1; seed <= 10; ++seed) {
        Generator generate { std::mt19937(seed * 7919) };
        std::string text;
        std::set<std::string> names, addresses;
        for (const std::string& entry : generate.list(60)) {
            text += entry + "\n";
            std::string trimmed = entry;
            while (!trimmed.empty() && static_cast<unsigned char>(trimmed.back()) <= 0x20)
                trimmed.pop_back();
            while (!trimmed.empty() && static_cast<unsigned char>(trimmed.front()) <= 0x20)
                trimmed.erase(0, 1);
            if (trimmed.empty() || trimmed[0] == '#')
                continue;
            if (const std::optional<RefAddress> ref = reference(trimmed, true))
                (ref->isIp ? addresses : names).insert(ref->key);
        }
        const SiteList list = SiteList::fromLines(bytes(text));
        ASSERT_EQ(list.size(), static_cast<qsizetype>(names.size() + addresses.size())) << shown(text);
        for (const std::string& line : generate.list(400)) {
            const std::optional<RefAddress> ref = reference(line, false);
            bool listed = ref && ref->isIp && addresses.count(ref->key);
            const std::vector<std::string> labels = ref ? split(ref->key, '.') : std::vector<std::string>();
            for (size_t i = 0; ref && !ref->isIp && i < labels.size(); ++i)
                listed = listed || names.count(join(labels, i));
            ASSERT_EQ(list.matches(bytes(line)), listed) << shown(line);
        }
    }
}

} // namespace
