// tessaroon-sample-engine: serves sample result pages on 127.0.0.1 so the
// harvester can be run without the internet.

#include "LayoutPages.h"
#include "SampleCodec.h"
#include "SampleEngine.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace {

constexpr int kDefaultPort = 8642;

void printUsage(std::ostream& out)
{
    out << "Usage: tessaroon-sample-engine [--port N] [--pages N|always]\n"
           "                              [--layout classic|today|360|sogou|bing] [--block-after N]\n"
           "                              [--ads N]\n"
           "\n"
           "Serves sample search result pages on 127.0.0.1 for the harvester.\n"
           "  --port N          port to listen on (default 8642; 0 picks a free port)\n"
           "  --pages N         result pages per keyword (default 10)\n"
           "  --pages always    every page offers a next one\n"
           "  --layout classic  result links straight to the sites, the bracketed pager (default)\n"
           "  --layout today    result links through the engine's redirector (/link?url=...),\n"
           "                    cards, snapshot and portal links, the \"下一页>\" pager;\n"
           "                    asked with /s?ie=utf-8&wd=... or /baidu?...&word=...\n"
           "  --layout 360      UTF-8 pages asked with /s?q=...&pn=<page>; links through\n"
           "                    /link?m=... (data-mdurl, or a redirect that needs the page's\n"
           "                    so_sid cookie), /link?url=<address> or straight\n"
           "  --layout sogou    UTF-8 pages asked with /web?query=...&page=<page>; links through\n"
           "                    /link?url=... answered by a script page, data-url on the item\n"
           "  --layout bing     UTF-8 pages asked with /search?q=...&first=<1, 11, 21...>; links\n"
           "                    through ck/a?...&u=a1<base64url> on www.bing.com or this host\n"
           "  --block-after N   the Nth search request and every later one get the layout's\n"
           "                    block page until its button is pressed (default: never)\n"
           "  --verify-after N  the same as --block-after\n"
           "  --ads N           N advertisements at the top of each page with results, in the\n"
           "                    layout's markup (default 0; none in the classic layout)\n"
           "  --help            show this text\n"
           "\n"
           "Point the program at it with: --engine-host 127.0.0.1:<port>\n"
           "and, for the other layouts: --engine-host http://127.0.0.1:<port> --rules <layout>\n"
           "Stop it with Ctrl+C.\n";
}

int parseNumber(std::string_view text, int low, int high, std::string_view option)
{
    int value = 0;
    if (text.empty() || text.size() > 9)
        throw std::invalid_argument(std::string(option) + " needs a whole number");
    for (char c : text) {
        if (c < '0' || c > '9')
            throw std::invalid_argument(std::string(option) + " needs a whole number");
        value = value * 10 + (c - '0');
    }
    if (value < low || value > high)
        throw std::invalid_argument(
            std::string(option) + " must be between " + std::to_string(low) + " and " + std::to_string(high));
    return value;
}

tess::sample::Layout parseLayout(std::string_view text)
{
    if (text == "classic")
        return tess::sample::Layout::Classic;
    if (text == "today")
        return tess::sample::Layout::Today;
    if (text == "360")
        return tess::sample::Layout::So360;
    if (text == "sogou")
        return tess::sample::Layout::Sogou;
    if (text == "bing")
        return tess::sample::Layout::Bing;
    throw std::invalid_argument("--layout needs classic, today, 360, sogou or bing");
}

struct Options {
    int port = kDefaultPort;
    tess::sample::EngineSettings settings;
    bool help = false;
};

Options parseOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg != "--port" && arg != "--pages" && arg != "--layout" && arg != "--verify-after"
            && arg != "--block-after" && arg != "--ads")
            throw std::invalid_argument("unknown option: " + std::string(arg));
        if (i + 1 >= argc)
            throw std::invalid_argument(std::string(arg) + " needs a value");
        const std::string_view value = argv[++i];
        if (arg == "--port")
            options.port = parseNumber(value, 0, 65535, arg);
        else if (arg == "--verify-after" || arg == "--block-after")
            options.settings.verifyAfter = parseNumber(value, 1, 1'000'000, arg);
        else if (arg == "--ads")
            options.settings.ads = parseNumber(value, 0, 10, arg);
        else if (arg == "--layout")
            options.settings.layout = parseLayout(value);
        else if (value == "always")
            options.settings.endlessPager = true;
        else
            options.settings.pagesPerKeyword = parseNumber(value, 1, 1'000'000, arg);
    }
    return options;
}

std::string_view layoutName(tess::sample::Layout layout)
{
    switch (layout) {
    case tess::sample::Layout::Today:
        return "today";
    case tess::sample::Layout::So360:
        return "360";
    case tess::sample::Layout::Sogou:
        return "sogou";
    case tess::sample::Layout::Bing:
        return "bing";
    case tess::sample::Layout::Classic:
        break;
    }
    return "classic";
}

void printRequest(const tess::sample::RequestRecord& r)
{
    std::cout << r.status << ' ' << r.method << ' ' << r.target;
    if (r.pn)
        std::cout << "  [word=" << tess::sample::gbkToUtf8(r.wordGbk) << " pn=" << *r.pn
                  << " page=" << r.page.value_or(0) << (r.blocked ? " blocked" : "") << ']';
    std::cout << std::endl;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    try {
        options = parseOptions(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "tessaroon-sample-engine: " << e.what() << "\n\n";
        printUsage(std::cerr);
        return 2;
    }
    if (options.help) {
        printUsage(std::cout);
        return 0;
    }

    // The server threads inherit this mask, so the signals reach sigwait below.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    tess::sample::SampleEngine engine(options.settings);
    engine.setObserver(printRequest);
    try {
        const int port = engine.start(options.port);
        const tess::sample::EngineSettings& s = options.settings;
        const std::string_view name = layoutName(s.layout);
        const bool classic = s.layout == tess::sample::Layout::Classic;
        std::cout << "Sample engine on http://127.0.0.1:" << port << "/  ("
                  << (s.endlessPager ? std::string("endless pager")
                                     : std::to_string(s.pagesPerKeyword) + " pages per keyword")
                  << ", " << name << " layout"
                  << (s.verifyAfter > 0 ? ", block page from search request " + std::to_string(s.verifyAfter)
                                        : std::string())
                  << (s.ads > 0 ? ", " + std::to_string(s.ads) + " ads a page" : std::string()) << ")\n"
                  << "Try: http://127.0.0.1:" << port
                  << tess::sample::layoutSearchTarget(s.layout, "sample", 1) << '\n'
                  << "Harvester options: --engine-host " << (classic ? "" : "http://") << "127.0.0.1:" << port
                  << (classic ? "" : " --rules " + std::string(name)) << std::endl;
    } catch (const std::exception& e) {
        std::cerr << "tessaroon-sample-engine: " << e.what() << '\n';
        return 1;
    }

    int signal = 0;
    sigwait(&signals, &signal);
    std::cout << "Stopping." << std::endl;
    engine.stop();
    return 0;
}
