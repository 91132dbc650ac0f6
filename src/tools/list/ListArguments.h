#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tess::tools {

// One step of `tessaroon list`, as the command line names it.
struct ListStep {
    enum class Kind {
        Trim, // value: root, host or path
        Unique, // value: address, host or domain
        KeepTld,
        DropTld, // value: suffixes separated by commas
        KeepContaining,
        DropContaining, // value: words separated by commas
        KeepMatching,
        DropMatching, // value: a pattern
        KeepListed,
        DropListed, // value: a file of domains and addresses
        Sort, // no value
    };
    Kind kind = Kind::Sort;
    QString value;
};

// What `tessaroon list [STEP...] -o TARGET [--memory SIZE] SOURCE...` asks
// for. The steps apply in the order given; --split and --count say how the
// result is written, not what it holds, so they stand apart.
struct ListArguments {
    std::vector<ListStep> steps;
    QString target;
    QStringList sources;
    qint64 memoryBudget = 0; // bytes; 0: the merge's default share of the memory
    qint64 split = 0; // lines a part; 0: one target
    QString count; // host, domain or tld; empty: the list itself
};

// Reads the words after "list"; nothing when they do not fit the form, with
// what does not fit in `whatIsWrong` when it is given. A pattern that does
// not compile is a word that does not fit.
std::optional<ListArguments> parseListArguments(const QStringList& words, QString* whatIsWrong = nullptr);

// What the list command prints when its words do not fit.
const char* listUsage();

} // namespace tess::tools
