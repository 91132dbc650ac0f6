#pragma once

#include "SamplePage.h"

#include <atomic>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace tess::sample {

// What one request asked for, as the engine saw it.
struct RequestRecord {
    std::string method;
    std::string target; // path and raw query, as sent
    std::string path;
    std::string wordGbk; // a search request's keyword: GBK bytes, whatever the request form
    // Set for search requests: the page key's value as the layout's engine
    // counts it (SearchRequest::pageKeyValue: pn 0, 10, 20 for the classic
    // and today's forms; pn or page 1, 2, 3; first 1, 11, 21).
    std::optional<long long> pn;
    int status = 0;
    std::optional<long long> page; // the page (1, 2, ...) a search request asked for
    std::string pageKeyRaw; // the page key's value as sent
    bool blocked = false; // answered with the block page or sent to it
    // The Sec-Fetch-Mode header: "navigate" for a page a browser loads,
    // empty for a request made without one.
    std::string fetchMode = {};
};

// A stand-in for the search engine, on the loopback interface only, so the
// harvester can be tried and tested without the internet. It answers
//   GET <the layout's search paths>       a result page in the layout the
//       settings name, or its block page (or a 302 to it) while one is due;
//       the request forms are in LayoutPages.h;
//   classic and today's layouts:
//     GET /link?url=<token>               the redirector (redirectFor);
//     GET /static/captcha/index.html?backurl=<percent-encoded address>
//                                         the verification page;
//     POST /static/captcha/pass           passes the verification;
//   360: GET /link?m=<token>              a 302 to the target with the page's
//                                         cookie, a 302 to "/" without it;
//        GET /link?url=<address>          a 302 to the address;
//        POST /check                      passes the block;
//   Sogou: GET /link?url=<token>          a page whose script goes on to the target;
//          GET /antispider/?from=<request> the block page; POST /antispider/pass;
//   Bing: GET /ck/a?...&u=a1<base64url>   a 302 to the target;
//         GET /turing/captcha/challenge?ru=<request> the block page;
//         POST /turing/captcha/pass;
// and every other path with 404.
class SampleEngine final {
public:
    using Observer = std::function<void(const RequestRecord&)>;

    explicit SampleEngine(EngineSettings settings = {});
    ~SampleEngine(); // stops the server first
    SampleEngine(const SampleEngine&) = delete;
    SampleEngine& operator=(const SampleEngine&) = delete;

    // Listens on 127.0.0.1:port (0 picks a free port) on a thread of its own
    // and returns the port. Throws std::runtime_error when the port cannot be
    // bound or the engine already runs.
    int start(int port = 0);
    // Closes the listening socket and waits for the server thread; harmless
    // when not running. start() may be called again afterwards.
    void stop();

    bool isRunning() const;
    int port() const; // 0 when not running

    // Called for each request just before its answer goes out, on a server
    // thread, one call at a time; the log already holds the request.
    void setObserver(Observer observer);
    std::size_t requestCount() const;
    // Redirect requests being held without an answer now.
    int stalledRedirects() const { return m_stalledRedirects; }
    // The latest requests, oldest first (at most kMaxKeptRequests).
    std::vector<RequestRecord> requests() const;
    static constexpr std::size_t kMaxKeptRequests = 1000;

private:
    void addRoutes(httplib::Server& server);
    // A search request: a result page, a hostile answer or the way to the
    // verification page.
    void answerSearch(const httplib::Request& req, httplib::Response& res);
    // The redirector: a result's target, in the form its number picks.
    void answerRedirect(const httplib::Request& req, httplib::Response& res);
    // The redirectors of the 360, Sogou and Bing layouts.
    void answerLayoutRedirect(const httplib::Request& req, httplib::Response& res);
    void addBlockRoutes(httplib::Server& server);
    // True when the request carries the cookie the 360 result page sets.
    bool carriesSessionCookie(const httplib::Request& req) const;
    void record(RequestRecord entry);
    // Counts a search request; true when it must go to the verification page.
    bool verificationDue();
    std::string hostOf(const std::string& hostHeader) const;

    const EngineSettings m_settings;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
    std::atomic<bool> m_stopping { false }; // ends answers that would never end
    std::atomic<long long> m_searches { 0 }; // since start()
    std::atomic<bool> m_verified { false };
    std::atomic<int> m_stalledRedirects { 0 };
    std::string m_sessionCookie; // a new value each start()

    std::mutex m_observerMutex;
    Observer m_observer;
    mutable std::mutex m_logMutex;
    std::deque<RequestRecord> m_kept;
    std::size_t m_count = 0;
};

} // namespace tess::sample
