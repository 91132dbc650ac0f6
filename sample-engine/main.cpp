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

constexpr int DefaultPort = 8642;

void printUsage(std::ostream& out)
{
    out << "Usage: tessaroon-sample-engine [--port N] [--pages N|always]\n"
           "\n"
           "Serves sample search result pages on 127.0.0.1 for the harvester.\n"
           "  --port N          port to listen on (default 8642; 0 picks a free port)\n"
           "  --pages N         result pages per keyword (default 10)\n"
           "  --pages always    every page offers a next one\n"
           "  --help            show this text\n"
           "\n"
           "Point the program at it with: --engine-host 127.0.0.1:<port>\n"
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

struct Options {
    int port = DefaultPort;
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
        if (arg != "--port" && arg != "--pages")
            throw std::invalid_argument("unknown option: " + std::string(arg));
        if (i + 1 >= argc)
            throw std::invalid_argument(std::string(arg) + " needs a value");
        const std::string_view value = argv[++i];
        if (arg == "--port")
            options.port = parseNumber(value, 0, 65535, arg);
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
        std::cout << "Sample engine on http://127.0.0.1:" << port << "/  ("
                  << (options.settings.endlessPager
                             ? std::string("endless pager")
                             : std::to_string(options.settings.pagesPerKeyword) + " pages per keyword")
                  << ")\n"
                  << "Try: http://127.0.0.1:" << port << tess::sample::searchTarget("sample", 0) << '\n'
                  << "Harvester option: --engine-host 127.0.0.1:" << port << std::endl;
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
