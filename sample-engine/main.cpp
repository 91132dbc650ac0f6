// tessaroon-sample-engine: serves sample result pages on 127.0.0.1 so the
// harvester can be run without the internet.

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
    out << "Usage: tessaroon-sample-engine [--port N] [--pages N|always] [--layout classic|today]\n"
           "                              [--verify-after N]\n"
           "\n"
           "Serves sample search result pages on 127.0.0.1 for the harvester.\n"
           "  --port N          port to listen on (default 8642; 0 picks a free port)\n"
           "  --pages N         result pages per keyword (default 10)\n"
           "  --pages always    every page offers a next one\n"
           "  --layout classic  result links straight to the sites, the bracketed pager (default)\n"
           "  --layout today    result links through the engine's redirector (/link?url=...),\n"
           "                    cards, snapshot and portal links, the \"下一页>\" pager\n"
           "  --verify-after N  the Nth search request and every later one go to a verification\n"
           "                    page until its button is pressed (default: never)\n"
           "  --help            show this text\n"
           "\n"
           "Point the program at it with: --engine-host 127.0.0.1:<port>\n"
           "and, for today's layout: --engine-host http://127.0.0.1:<port> --rules today\n"
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
    throw std::invalid_argument("--layout needs classic or today");
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
        if (arg != "--port" && arg != "--pages" && arg != "--layout" && arg != "--verify-after")
            throw std::invalid_argument("unknown option: " + std::string(arg));
        if (i + 1 >= argc)
            throw std::invalid_argument(std::string(arg) + " needs a value");
        const std::string_view value = argv[++i];
        if (arg == "--port")
            options.port = parseNumber(value, 0, 65535, arg);
        else if (arg == "--verify-after")
            options.settings.verifyAfter = parseNumber(value, 1, 1'000'000, arg);
        else if (arg == "--layout")
            options.settings.layout = parseLayout(value);
        else if (value == "always")
            options.settings.endlessPager = true;
        else
            options.settings.pagesPerKeyword = parseNumber(value, 1, 1'000'000, arg);
    }
    return options;
}

void printRequest(const tess::sample::RequestRecord& r)
{
    std::cout << r.status << ' ' << r.method << ' ' << r.target;
    if (r.pn)
        std::cout << "  [word=" << tess::sample::gbkToUtf8(r.wordGbk) << " pn=" << *r.pn << ']';
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
        const bool today = s.layout == tess::sample::Layout::Today;
        std::cout << "Sample engine on http://127.0.0.1:" << port << "/  ("
                  << (s.endlessPager ? std::string("endless pager")
                                     : std::to_string(s.pagesPerKeyword) + " pages per keyword")
                  << (today ? ", today's layout" : ", classic layout")
                  << (s.verifyAfter > 0
                             ? ", verification from search request " + std::to_string(s.verifyAfter)
                             : std::string())
                  << ")\n"
                  << "Try: http://127.0.0.1:" << port << tess::sample::searchTarget("sample", 0) << '\n'
                  << "Harvester options: --engine-host " << (today ? "http://" : "") << "127.0.0.1:" << port
                  << (today ? " --rules today" : "") << std::endl;
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
