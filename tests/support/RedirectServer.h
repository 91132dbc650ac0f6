#pragma once

#include <httplib.h>

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace tess::test {

// A redirector on 127.0.0.1, answering on a thread of its own:
//   /link?url=N    302 to http://siteN.example/ (after `delayMs`)
//   /meta, /script 200 with a meta refresh or a script redirect
//   /big           200 with a body of `kBigBody` bytes
//   anything else  404 with a meta refresh (which leads nowhere)
// It keeps the Cookie and User-Agent headers of the latest request.
class RedirectServer final {
public:
    static constexpr int kBigBody = 200 * 1024;

    explicit RedirectServer(int delayMs = 0)
    {
        m_server.set_keep_alive_timeout(1);
        m_server.Get(".*", [this, delayMs](const httplib::Request& req, httplib::Response& res) {
            {
                const std::lock_guard lock(m_mutex);
                m_cookie = req.get_header_value("Cookie");
                m_userAgent = req.get_header_value("User-Agent");
            }
            if (req.path == "/link") {
                if (delayMs > 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
                res.status = 302;
                res.set_header("Location", "http://site" + req.get_param_value("url") + ".example/");
            } else if (req.path == "/meta") {
                res.set_content(
                    R"(<html><meta http-equiv="refresh" content="0;URL='http://meta.example/?a=1&amp;b=2'"></html>)",
                    "text/html");
            } else if (req.path == "/script") {
                res.set_content(
                    R"(<script>window.location.replace("http://script.example/")</script>)", "text/html");
            } else if (req.path == "/big") {
                res.set_content(std::string(kBigBody, 'x'), "text/html");
            } else {
                res.status = 404;
                res.set_content(
                    R"(<meta http-equiv="refresh" content="0;url=http://missing.example/">)", "text/html");
            }
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        if (m_port <= 0)
            throw std::runtime_error("cannot listen on 127.0.0.1");
        m_thread = std::thread([this] {
            m_server.listen_after_bind();
            m_finished = true;
        });
        while (!m_server.is_running() && !m_finished)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~RedirectServer()
    {
        m_server.stop();
        m_thread.join();
    }
    RedirectServer(const RedirectServer&) = delete;
    RedirectServer& operator=(const RedirectServer&) = delete;

    int port() const { return m_port; }
    QByteArray url(const QByteArray& path) const
    {
        return "http://127.0.0.1:" + QByteArray::number(m_port) + path;
    }
    std::string cookie() const
    {
        const std::lock_guard lock(m_mutex);
        return m_cookie;
    }
    std::string userAgent() const
    {
        const std::lock_guard lock(m_mutex);
        return m_userAgent;
    }

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
    std::atomic<bool> m_finished { false };
    mutable std::mutex m_mutex;
    std::string m_cookie;
    std::string m_userAgent;
};

} // namespace tess::test
