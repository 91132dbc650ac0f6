#include "harvest/RedirectResolver.h"

#include "harvest/PageReader.h"

#include <QUrl>

#include <cctype>
#include <optional>
#include <utility>

namespace tess::harvest {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

qsizetype skipSpaces(const QByteArray& s, qsizetype at)
{
    while (at < s.size() && isSpace(s[at]))
        ++at;
    return at;
}

bool startsWithAt(const QByteArray& s, qsizetype at, const char* word, Qt::CaseSensitivity cs)
{
    const QByteArrayView w(word);
    return at + w.size() <= s.size() && QByteArrayView(s).sliced(at, w.size()).compare(w, cs) == 0;
}

// An attribute value as a browser reads it, as far as an address goes:
// "&amp;" is "&".
QByteArray decodeEntities(QByteArray value) { return value.replace("&amp;", "&"); }

// The value of attribute `name` in the tag s[from, to), quoted or not; no
// value when the tag has no such attribute.
std::optional<QByteArray> attribute(const QByteArray& s, qsizetype from, qsizetype to, const char* name)
{
    qsizetype at = from;
    while (at < to) {
        // The next attribute name.
        while (at < to && (isSpace(s[at]) || s[at] == '/'))
            ++at;
        const qsizetype nameStart = at;
        while (at < to && !isSpace(s[at]) && s[at] != '=' && s[at] != '/')
            ++at;
        const QByteArrayView found = QByteArrayView(s).sliced(nameStart, at - nameStart);
        at = skipSpaces(s, at);
        QByteArray value;
        if (at < to && s[at] == '=') {
            at = skipSpaces(s, at + 1);
            if (at < to && (s[at] == '"' || s[at] == '\'')) {
                const char quote = s[at];
                qsizetype end = s.indexOf(quote, at + 1);
                if (end < 0 || end > to)
                    end = to;
                value = s.mid(at + 1, end - at - 1);
                at = end + 1;
            } else {
                const qsizetype valueStart = at;
                while (at < to && !isSpace(s[at]))
                    ++at;
                value = s.mid(valueStart, at - valueStart);
            }
        }
        if (!found.isEmpty() && found.compare(QByteArrayView(name), Qt::CaseInsensitive) == 0)
            return decodeEntities(value);
        if (found.isEmpty() && at == nameStart)
            ++at; // a stray character: step over it
    }
    return std::nullopt;
}

// The end of the tag opened at `at` ('>' or the end of the text). Quotes
// are honoured, so a '>' inside an attribute value does not end the tag.
qsizetype tagEnd(const QByteArray& s, qsizetype at)
{
    char quote = 0;
    for (; at < s.size(); ++at) {
        const char c = s[at];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return at;
        }
    }
    return s.size();
}

// The address in a refresh's content: "0;URL='...'", "0; url=...", "0;...".
QByteArray refreshAddress(const QByteArray& content)
{
    qsizetype at = skipSpaces(content, 0);
    while (
        at < content.size() && (std::isdigit(static_cast<unsigned char>(content[at])) || content[at] == '.'))
        ++at;
    at = skipSpaces(content, at);
    if (at >= content.size() || (content[at] != ';' && content[at] != ','))
        return {};
    at = skipSpaces(content, at + 1);
    if (startsWithAt(content, at, "url", Qt::CaseInsensitive)) {
        const qsizetype afterName = skipSpaces(content, at + 3);
        if (afterName < content.size() && content[afterName] == '=')
            at = skipSpaces(content, afterName + 1);
    }
    if (at < content.size() && (content[at] == '"' || content[at] == '\'')) {
        const qsizetype end = content.indexOf(content[at], at + 1);
        return content.mid(at + 1, end < 0 ? -1 : end - at - 1).trimmed();
    }
    return content.mid(at).trimmed();
}

// The first meta refresh's address in the page.
QByteArray metaRefresh(const QByteArray& body)
{
    for (qsizetype at = 0; (at = body.indexOf('<', at)) >= 0; ++at) {
        if (!startsWithAt(body, at + 1, "meta", Qt::CaseInsensitive)
            || (at + 5 < body.size() && !isSpace(body[at + 5]) && body[at + 5] != '/'))
            continue;
        const qsizetype end = tagEnd(body, at + 5);
        const auto equiv = attribute(body, at + 5, end, "http-equiv");
        if (equiv && equiv->trimmed().compare(QByteArrayView("refresh"), Qt::CaseInsensitive) == 0) {
            if (const auto content = attribute(body, at + 5, end, "content")) {
                const QByteArray address = refreshAddress(*content);
                if (!address.isEmpty())
                    return address;
            }
        }
        at = end;
    }
    return {};
}

// The quoted string at `at` (after spaces), with backslash escapes taken
// literally ("\/" is "/"); empty when no string starts there.
QByteArray scriptString(const QByteArray& s, qsizetype at)
{
    at = skipSpaces(s, at);
    if (at >= s.size() || (s[at] != '"' && s[at] != '\''))
        return {};
    const char quote = s[at];
    QByteArray out;
    for (++at; at < s.size() && s[at] != quote && s[at] != '\n'; ++at) {
        if (s[at] == '\\' && at + 1 < s.size())
            ++at;
        out += s[at];
    }
    return at < s.size() && s[at] == quote ? out : QByteArray();
}

// The address a script hands to the location, for the first of:
// location.replace("..."), location.assign("..."), location.href = "...",
// location = "..." (any object before "location", such as window).
QByteArray scriptLocation(const QByteArray& script)
{
    const QByteArrayView word("location");
    for (qsizetype at = 0; (at = script.indexOf(word, at)) >= 0;) {
        const bool partOfName = at > 0
            && (std::isalnum(static_cast<unsigned char>(script[at - 1])) || script[at - 1] == '_'
                || script[at - 1] == '$');
        at = skipSpaces(script, at + word.size());
        if (partOfName)
            continue;
        QByteArray address;
        const bool replace = startsWithAt(script, at, ".replace", Qt::CaseSensitive);
        if (replace || startsWithAt(script, at, ".assign", Qt::CaseSensitive)) {
            const qsizetype open = skipSpaces(script, at + (replace ? 8 : 7));
            if (open < script.size() && script[open] == '(')
                address = scriptString(script, open + 1);
        } else {
            if (startsWithAt(script, at, ".href", Qt::CaseSensitive))
                at = skipSpaces(script, at + 5);
            if (at < script.size() && script[at] == '=' && !startsWithAt(script, at, "==", Qt::CaseSensitive))
                address = scriptString(script, at + 1);
        }
        if (!address.isEmpty())
            return address;
    }
    return {};
}

// The first script redirect in the page's script elements.
QByteArray scriptRedirect(const QByteArray& body)
{
    for (qsizetype at = 0; (at = body.indexOf('<', at)) >= 0; ++at) {
        if (!startsWithAt(body, at + 1, "script", Qt::CaseInsensitive))
            continue;
        const qsizetype open = tagEnd(body, at + 7);
        qsizetype close = open;
        while ((close = body.indexOf("</", close)) >= 0
            && !startsWithAt(body, close + 2, "script", Qt::CaseInsensitive))
            close += 2;
        const QByteArray script = body.mid(open + 1, close < 0 ? -1 : close - open - 1);
        const QByteArray address = scriptLocation(script);
        if (!address.isEmpty())
            return address;
        if (close < 0)
            break;
        at = close;
    }
    return {};
}

// `address` made absolute against `base`; empty unless it is an http or
// https address with a host. Bytes outside printable ASCII (a GBK keyword
// sent raw, say) are percent-encoded as they are, never re-read as text.
// An address with a control character inside is refused: a redirector that
// sends one is forging rather than leading somewhere.
QByteArray absoluteWebAddress(const QByteArray& address, const QByteArray& base)
{
    const QByteArray trimmed = address.trimmed();
    if (trimmed.isEmpty() || hasControlCharacter(trimmed))
        return {};
    QByteArray encoded;
    encoded.reserve(trimmed.size());
    static const char kHexDigits[] = "0123456789ABCDEF";
    for (const char c : trimmed) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7f) {
            encoded += '%';
            encoded += kHexDigits[u >> 4];
            encoded += kHexDigits[u & 0xf];
        } else {
            encoded += c;
        }
    }
    const QUrl target = QUrl::fromEncoded(base).resolved(QUrl::fromEncoded(encoded));
    if (!target.isValid() || target.host().isEmpty())
        return {};
    const QString scheme = target.scheme();
    if (scheme != u"http" && scheme != u"https")
        return {};
    const QByteArray found = target.toEncoded();
    return isAcceptableTarget(found) ? found : QByteArray();
}

bool isRedirectStatus(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

} // namespace

QByteArray redirectTarget(const browser::RedirectAnswer& answer, const QByteArray& requested)
{
    if (answer.failed)
        return {};
    if (isRedirectStatus(answer.status))
        return absoluteWebAddress(answer.location, requested);
    if (answer.status < 200 || answer.status > 299)
        return {};
    QByteArray address = metaRefresh(answer.body);
    if (address.isEmpty())
        address = scriptRedirect(answer.body);
    return absoluteWebAddress(address, requested);
}

struct RedirectResolver::Batch {
    QList<QByteArray> addresses;
    QList<QByteArray> targets;
    QList<bool> answeredAt; // for each address: its target is in
    std::function<void(QList<QByteArray>)> done;
    qsizetype next = 0; // the next address to ask
    int inFlight = 0;
    qsizetype answered = 0;
    // Lives as long as the batch: answers meant for a batch that has
    // been dropped find it gone.
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

RedirectResolver::RedirectResolver(browser::RedirectFetcher& fetcher)
    : m_fetcher(fetcher)
{
}

RedirectResolver::~RedirectResolver() { cancel(); }

bool RedirectResolver::busy() const { return m_batch != nullptr; }

void RedirectResolver::resolveAll(
    const QList<QByteArray>& addresses, std::function<void(QList<QByteArray>)> done)
{
    // One batch at a time: a new one replaces any still under way.
    cancel();
    if (addresses.isEmpty()) {
        done({});
        return;
    }
    m_batch = std::make_unique<Batch>();
    m_batch->addresses = addresses;
    m_batch->targets.resize(addresses.size());
    m_batch->answeredAt.resize(addresses.size());
    m_batch->done = std::move(done);
    startNext();
}

void RedirectResolver::cancel()
{
    if (!m_batch)
        return;
    m_batch.reset();
    m_fetcher.cancelAll();
}

QList<std::optional<QByteArray>> RedirectResolver::answeredSoFar() const
{
    QList<std::optional<QByteArray>> out;
    if (!m_batch)
        return out;
    out.resize(m_batch->targets.size());
    for (qsizetype i = 0; i < out.size(); ++i)
        if (m_batch->answeredAt[i])
            out[i] = m_batch->targets[i];
    return out;
}

void RedirectResolver::startNext()
{
    Batch& batch = *m_batch;
    while (batch.inFlight < kMaxInFlight && batch.next < batch.addresses.size()) {
        const qsizetype index = batch.next++;
        ++batch.inFlight;
        m_fetcher.fetch(batch.addresses[index],
            [this, index, alive = std::weak_ptr<bool>(batch.alive)](browser::RedirectAnswer answer) {
                // The batch (and with it this resolver) may be gone.
                if (alive.expired())
                    return;
                Batch& current = *m_batch;
                current.targets[index] = redirectTarget(answer, current.addresses[index]);
                current.answeredAt[index] = true;
                --current.inFlight;
                if (++current.answered < current.addresses.size()) {
                    startNext();
                    return;
                }
                // The batch is over before its owner hears of it, so that
                // `done` may start the next batch, cancel or delete this.
                const std::unique_ptr<Batch> finished = std::move(m_batch);
                finished->done(std::move(finished->targets));
            });
    }
}

} // namespace tess::harvest
