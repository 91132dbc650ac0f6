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
    std::string wordGbk; // decoded "word" key of /baidu requests
    std::optional<long long> pn; // set for /baidu requests
    int status = 0;
};

// A stand-in for the search engine, on the loopback interface only, so the
// harvester can be tried and tested without the internet. It answers
//   GET /baidu?...&word=<GBK, form-encoded>&pn=<offset>...  a GBK result page
//       in the layout the settings name (see SamplePage.h), or a 302 to the
//       verification page while one is due;
//   GET /link?url=<token>                 the redirector (redirectFor);
//   GET /static/captcha/index.html?backurl=<percent-encoded address>
//                                         the verification page;
//   POST /static/captcha/pass             passes the verification;
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

    std::mutex m_observerMutex;
    Observer m_observer;
    mutable std::mutex m_logMutex;
    std::deque<RequestRecord> m_kept;
    std::size_t m_count = 0;
};

} // namespace tess::sample
