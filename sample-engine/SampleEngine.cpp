#include "SampleEngine.h"

#include "HostileAnswers.h"
#include "LayoutPages.h"
#include "SampleCodec.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include <sys/socket.h>

namespace tess::sample {
namespace {

constexpr const char* kContentType = "text/html; charset=gbk";
constexpr const char* kUtf8ContentType = "text/html; charset=utf-8";

std::string rawQuery(const std::string& target)
{
    const size_t q = target.find('?');
    return q == std::string::npos ? std::string() : target.substr(q + 1);
}

// A request that is not a search.
RequestRecord plainRecord(const httplib::Request& req, int status)
{
    RequestRecord entry;
    entry.method = req.method;
    entry.target = req.target;
    entry.path = req.path;
    entry.status = status;
    entry.fetchMode = req.get_header_value("Sec-Fetch-Mode");
    return entry;
}

} // namespace

SampleEngine::SampleEngine(EngineSettings settings)
    : m_settings(settings)
{
}

SampleEngine::~SampleEngine() { stop(); }

int SampleEngine::start(int port)
{
    if (m_server)
        throw std::runtime_error("the sample engine is already running");
    if (port < 0 || port > 65535)
        throw std::runtime_error("port out of range: " + std::to_string(port));

    auto server = std::make_unique<httplib::Server>();
    // A browser keeps idle connections open; a short keep-alive keeps stop() quick.
    server->set_keep_alive_timeout(1);

    // Only SO_REUSEADDR: with the library's default SO_REUSEPORT a second
    // engine on the same port would bind too and take half of the requests.
    server->set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });

    addRoutes(*server);

    int bound = 0;
    if (port == 0)
        bound = server->bind_to_any_port("127.0.0.1");
    else if (server->bind_to_port("127.0.0.1", port))
        bound = port;
    if (bound <= 0)
        throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port));

    m_port = bound;
    m_stopping = false;
    m_searches = 0;
    m_verified = false;
    m_sessionCookie = shortHash(std::to_string(bound) + "-"
        + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    m_server = std::move(server);
    auto finished = std::make_shared<std::atomic<bool>>(false);
    m_thread = std::thread([s = m_server.get(), finished] {
        s->listen_after_bind();
        *finished = true;
    });
    // A stop() that came before the accept loop runs would be lost and leave
    // the thread listening for ever, so return only once it runs.
    while (!m_server->is_running() && !*finished)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (*finished) {
        m_thread.join();
        m_server.reset();
        m_port = 0;
        throw std::runtime_error("the sample engine stopped at once");
    }
    return bound;
}

void SampleEngine::addRoutes(httplib::Server& server)
{
    // Requests are recorded before the answer goes out, so a client that has
    // its answer also finds its request in the log.
    for (const std::string& path : searchPaths(m_settings.layout)) {
        server.Get(
            path, [this](const httplib::Request& req, httplib::Response& res) { answerSearch(req, res); });
    }
    const Layout layout = m_settings.layout;
    if (layout == Layout::Classic || layout == Layout::Today) {
        server.Get(std::string(kRedirectPath),
            [this](const httplib::Request& req, httplib::Response& res) { answerRedirect(req, res); });
    } else {
        server.Get(layout == Layout::Bing ? "/ck/a" : std::string(kRedirectPath),
            [this](const httplib::Request& req, httplib::Response& res) { answerLayoutRedirect(req, res); });
    }
    addBlockRoutes(server);
    server.Get(kElsewherePath, [this](const httplib::Request& req, httplib::Response& res) {
        res.set_content(renderElsewhere(), kContentType);
        record(plainRecord(req, 200));
    });
    server.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
        res.status = 404;
        res.set_content(renderNotFound(req.target), kContentType);
        record(plainRecord(req, 404));
    });
}

void SampleEngine::addBlockRoutes(httplib::Server& server)
{
    const Layout layout = m_settings.layout;
    const BlockPaths paths = blockPaths(layout);
    if (!paths.page.empty()) {
        // The way back is in a key of the page's address.
        const std::string backKey = layout == Layout::Sogou ? "from"
            : layout == Layout::Bing                        ? "ru"
                                                            : "backurl";
        std::string pattern(paths.page);
        if (const size_t dot = pattern.find('.'); dot != std::string::npos)
            pattern.insert(dot, "\\");
        server.Get(pattern, [this, layout, backKey](const httplib::Request& req, httplib::Response& res) {
            res.set_content(
                renderBlockPage(layout, queryValue(rawQuery(req.target), backKey)), kUtf8ContentType);
            record(plainRecord(req, 200));
        });
    }
    server.Post(std::string(paths.pass), [this](const httplib::Request& req, httplib::Response& res) {
        m_verified = true;
        res.set_content("ok", "text/plain");
        record(plainRecord(req, 200));
    });
}

void SampleEngine::answerSearch(const httplib::Request& req, httplib::Response& res)
{
    const std::string host = hostOf(req.get_header_value("Host"));
    const Layout layout = m_settings.layout;
    const SearchRequest request = *parseLayoutSearch(layout, req.path, rawQuery(req.target));
    RequestRecord entry = plainRecord(req, 0);
    entry.wordGbk = request.wordGbk;
    entry.pn = request.pageKeyValue;
    entry.page = pageOf(request);
    entry.pageKeyRaw = request.pageKeyRaw;
    const bool utf8 = pagesInUtf8(layout);
    if (verificationDue()) {
        entry.blocked = true;
        if (const std::string to = blockAddress(layout, host, req.target); !to.empty()) {
            res.set_redirect(to, 302);
        } else {
            const std::string client = req.remote_addr.empty() ? "127.0.0.1" : req.remote_addr;
            res.status = 200;
            res.set_content(renderBlockPage(layout, "http://" + host + req.target, client), kUtf8ContentType);
        }
        entry.status = res.status;
        record(std::move(entry));
        return;
    }
    entry.status = answerHostile(request, host, m_port, m_stopping, res);
    if (entry.status == 0) {
        res.set_content(renderResultPage(request, host, m_settings), utf8 ? kUtf8ContentType : kContentType);
        if (layout == Layout::So360)
            res.set_header("Set-Cookie", std::string(kSessionCookie) + "=" + m_sessionCookie + "; Path=/");
        entry.status = 200;
    }
    record(std::move(entry));
}

void SampleEngine::answerRedirect(const httplib::Request& req, httplib::Response& res)
{
    const std::string token = queryValue(rawQuery(req.target), "url");
    if (token == kNeverAnsweringToken) {
        // Small steps, so that stop() ends the wait.
        ++m_stalledRedirects;
        const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(10);
        while (!m_stopping && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        --m_stalledRedirects;
        res.status = 504;
    } else if (const std::optional<RedirectAnswer> answer = redirectFor(token); !answer) {
        res.status = 404;
        res.set_content(renderNotFound(req.target), kContentType);
    } else if (answer->form == RedirectForm::Location) {
        res.set_redirect(answer->target, 302);
    } else {
        res.status = 200;
        res.set_content(renderRedirectPage(*answer), kContentType);
    }
    record(plainRecord(req, res.status));
}

void SampleEngine::answerLayoutRedirect(const httplib::Request& req, httplib::Response& res)
{
    const std::string query = rawQuery(req.target);
    const Layout layout = m_settings.layout;
    std::optional<std::string> target;
    if (layout == Layout::Bing)
        target = bingParameterTarget(queryValue(query, "u"));
    else if (layout == Layout::Sogou || !queryValue(query, "m").empty())
        target = layoutTokenTarget(layout, queryValue(query, layout == Layout::Sogou ? "url" : "m"));
    else if (const std::string plain = queryValue(query, "url"); plain.starts_with("http"))
        target = plain;

    if (!target) {
        res.status = 404;
        res.set_content(renderNotFound(req.target), kContentType);
    } else if (layout == Layout::Sogou) {
        res.status = 200;
        res.set_content(renderScriptRedirect(*target), kUtf8ContentType);
    } else if (layout == Layout::So360 && !queryValue(query, "m").empty() && !carriesSessionCookie(req)) {
        // Without the result page's cookie the engine keeps the visitor.
        res.set_redirect("http://" + hostOf(req.get_header_value("Host")) + "/", 302);
    } else {
        res.set_redirect(*target, 302);
    }
    record(plainRecord(req, res.status));
}

bool SampleEngine::carriesSessionCookie(const httplib::Request& req) const
{
    const std::string wanted = std::string(kSessionCookie) + "=" + m_sessionCookie;
    const std::string header = req.get_header_value("Cookie");
    std::string_view cookies = header;
    while (!cookies.empty()) {
        const size_t semicolon = cookies.find(';');
        std::string_view pair = cookies.substr(0, semicolon);
        cookies = semicolon == std::string_view::npos ? std::string_view() : cookies.substr(semicolon + 1);
        while (pair.starts_with(' '))
            pair.remove_prefix(1);
        if (pair == wanted)
            return true;
    }
    return false;
}

void SampleEngine::stop()
{
    if (!m_server)
        return;
    m_stopping = true;
    m_server->stop();
    if (m_thread.joinable())
        m_thread.join();
    m_server.reset();
    m_port = 0;
}

bool SampleEngine::isRunning() const { return m_server != nullptr; }

int SampleEngine::port() const { return m_port; }

void SampleEngine::setObserver(Observer observer)
{
    std::lock_guard lock(m_observerMutex);
    m_observer = std::move(observer);
}

std::size_t SampleEngine::requestCount() const
{
    std::lock_guard lock(m_logMutex);
    return m_count;
}

std::vector<RequestRecord> SampleEngine::requests() const
{
    std::lock_guard lock(m_logMutex);
    return { m_kept.begin(), m_kept.end() };
}

bool SampleEngine::verificationDue()
{
    const long long number = ++m_searches;
    return m_settings.verifyAfter > 0 && number >= m_settings.verifyAfter && !m_verified;
}

// HTTP/1.0 requests may come without a Host header; the pages must still link
// back to the engine itself.
std::string SampleEngine::hostOf(const std::string& hostHeader) const
{
    return hostHeader.empty() ? "127.0.0.1:" + std::to_string(m_port) : hostHeader;
}

void SampleEngine::record(RequestRecord entry)
{
    {
        std::lock_guard lock(m_logMutex);
        ++m_count;
        m_kept.push_back(entry);
        if (m_kept.size() > kMaxKeptRequests)
            m_kept.pop_front();
    }
    // The log lock is released first: an observer may well read the log.
    std::lock_guard lock(m_observerMutex);
    if (m_observer)
        m_observer(entry);
}

} // namespace tess::sample
