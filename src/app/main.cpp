#include "app/CommandLine.h"
#include "app/Glyphs.h"
#include "app/HarvestAssembly.h"
#include "app/MainWindow.h"
#include "app/MiningPage.h"
#include "app/headless/HeadlessHarvest.h"
#include "browser/cleaner/ui/CleanerWindow.h"
#include "browser/webengine/ChromiumEnvironment.h"
#include "harvest/RuleCatalog.h"
#include "harvest/SearchEngine.h"
#include "io/ExeDir.h"
#include "io/FolderLock.h"
#include "io/PathName.h"
#include "io/TemporaryFileCleanup.h"
#include "tools/about/AboutWindow.h"
#include "tools/builder/KeywordListBuilder.h"
#include "tools/list/ListCommand.h"
#include "tools/list/ui/ListToolWindow.h"
#include "tools/merge/MergeCommand.h"
#include "ui/Application.h"
#include "ui/Dialogs.h"
#include "ui/WindowFont.h"

#include <QDir>

#include <cstdio>
#include <optional>

using namespace tess;

namespace {

QStringList arguments(int argc, char** argv)
{
    QStringList out;
    for (int i = 1; i < argc; ++i)
        out << io::decodePath(argv[i]); // file names come as bytes, in any encoding
    return out;
}

// The commands that need no window; nothing when the window is asked for.
std::optional<int> runWithoutWindow(int argc, char** argv, const app::CommandLine& cl)
{
    switch (cl.action) {
    case app::CommandLine::Action::Merge:
        // No window and no browser: the same merge as the toolbar's.
        return tools::runMergeCommand(cl.merge, stdout, stderr);
    case app::CommandLine::Action::MergeUsage:
        if (!cl.error.isEmpty())
            std::fprintf(stderr, "tessaroon merge: %s\n", io::encodePath(cl.error).constData());
        std::fputs(tools::mergeUsage(), stderr);
        return 2;
    case app::CommandLine::Action::List:
        return tools::runListCommand(cl.list, stdout, stderr);
    case app::CommandLine::Action::ListUsage:
        if (!cl.error.isEmpty())
            std::fprintf(stderr, "tessaroon list: %s\n", io::encodePath(cl.error).constData());
        std::fputs(tools::listUsage(), stderr);
        return 2;
    case app::CommandLine::Action::Harvest:
        // No window: the browser offscreen, rows to a file or standard output.
        return app::runHeadlessHarvest(argc, argv, cl.harvest);
    case app::CommandLine::Action::Keywords:
        return app::runHeadlessKeywords(argc, argv, cl.keywords);
    case app::CommandLine::Action::Help:
        std::fputs(app::CommandLine::usage().toLocal8Bit().constData(), stdout);
        return 0;
    case app::CommandLine::Action::Error:
        std::fprintf(stderr, "tessaroon: %s\n\n%s", cl.error.toLocal8Bit().constData(),
            app::CommandLine::usage().toLocal8Bit().constData());
        return 2;
    case app::CommandLine::Action::RunWindow:
        break;
    }
    return std::nullopt;
}

// Whether the window has somewhere to go. Without a display the toolkit
// would abort with a core dump and a note on plugins that helps no one.
bool haveDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

void setUpApplication()
{
    QApplication::setApplicationName(QStringLiteral("tessaroon"));
    // Lets the desktop match the window to the installed launcher entry
    // (its icon and name), also where it cannot go by the executable.
    QApplication::setDesktopFileName(QStringLiteral("example.tessaroon.Tessaroon"));
    QApplication::setFont(ui::songtiFont(12));
    QApplication::setWindowIcon(app::glyphs::programIcon());
    // The program ends through its close confirmation only, never because
    // a box happened to be its last visible window.
    QApplication::setQuitOnLastWindowClosed(false);
}

int runWindow(ui::Application& application, const app::CommandLine& cl)
{
    // The user's rule files may add sets or mend the built-in ones; the
    // broken ones are reported together once the window is up.
    const app::RuleChoice rules = app::chooseRules(cl.rules, harvest::rememberedRules());
    if (rules.chosen.isEmpty()) {
        std::fprintf(stderr, "tessaroon: %s\n", rules.unknownMessage.toLocal8Bit().constData());
        return 2;
    }
    // An address may go to any engine the selector offers, chosen now or later.
    QList<harvest::SearchEngine> offered;
    for (const harvest::RuleSet& set : rules.sets)
        offered.append(harvest::engineOnDefaultHost(set));
    if (const std::optional<QString> wrong = harvest::applyEngineHosts(offered, cl.engineHosts)) {
        std::fprintf(stderr, "tessaroon: %s\n", wrong->toLocal8Bit().constData());
        return 2;
    }

    app::MainWindow window({ .engineHosts = cl.engineHosts,
        .profileFolder = io::exeDir() + QStringLiteral("browser"),
        .ruleSets = rules.sets,
        .rules = rules.chosen,
        .rulesChosen = harvest::rememberRules,
        .ruleFileErrors = rules.errors,
        .excludeList = harvest::rememberedExclusionList(),
        .excludeListChosen = harvest::rememberExclusionList,
        .skipAds = harvest::rememberedSkipAds(),
        .skipAdsChosen = harvest::rememberSkipAds });
    tools::AboutWindow about;
    tools::KeywordListBuilder builder;
    builder.addPage(
        new app::MiningPage({ .ruleSets = rules.sets,
            .engineHosts = cl.engineHosts,
            .profileFolder = io::exeDir() + QStringLiteral("browser-mining"),
            .scratchFolder = io::exeDir(),
            .useKeywords = [&window](const QString& path) { window.importMinedKeywords(path); } }),
        QStringLiteral("挖掘"));
    browser::CleanerWindow cleaner(window.browserProfile());
    tools::ListToolWindow listTool;
    window.setSecondaryWindows(&about, &builder, &cleaner, &listTool);
    window.show();
    return application.exec();
}

} // namespace

int main(int argc, char** argv)
{
    // A temporary file being written when the program is stopped goes with it.
    io::installTemporaryFileCleanup();
    const app::CommandLine cl = app::CommandLine::parse(arguments(argc, argv));
    if (const std::optional<int> status = runWithoutWindow(argc, argv, cl))
        return *status;

    if (!haveDisplay()) {
        std::fputs(
            "tessaroon: no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set);\n"
            "without a window, search with `tessaroon harvest` (see tessaroon --help)\n",
            stderr);
        return 1;
    }
    browser::prepareWebEngineEnvironment();
    ui::Application application(argc, argv);
    setUpApplication();
    io::FolderLock folderLock;
    if (folderLock.acquire(io::exeDir()) == io::FolderLock::Result::HeldElsewhere) {
        ui::dialogs().plainMessage(nullptr,
            QStringLiteral("另一个 Tessaroon 正在使用这个文件夹，本程序不再启动：\n%1")
                .arg(QDir::toNativeSeparators(io::exeDir())));
        return 1;
    }
    return runWindow(application, cl);
}
