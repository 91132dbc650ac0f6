#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <optional>

// What a merge may hold in memory, and what sorting a part of the sources
// costs in it: the model the merge cuts its input into parts by.
namespace tess::tools {

// A size as the command line takes it: a whole number of bytes, or with a
// K, M, G or T (binary multiples, "512M", "4G"; a trailing B or iB is
// allowed). Nothing for anything else, for 0 and for sizes past 2^62.
std::optional<qint64> parseMemorySize(const QString& text);

// The merge's memory budget when none is given: half of the physical
// memory, so the merge of a large list leaves room for the desktop.
qint64 defaultMemoryBudget();

// The least budget `tessaroon merge` takes: below it the parts would be a
// few lines each, and their runs too many to merge at once.
inline constexpr qint64 kMinimumBudget = qint64(16) << 20;

// The budget a command works with: one asked for below kMinimumBudget is
// raised to it, and `err` is told so. 0 (the default share) stays 0.
qint64 raisedToMinimum(qint64 budget, FILE* err);
// Below this the sources are sorted as one part: threads would not pay.
inline constexpr qint64 kSmallInput = qint64(4) << 20;
// What the merge holds besides the parts being sorted (read buffers, the
// output) in a budget that has room for it; see fixedCost().
inline constexpr qint64 kFixedCost = qint64(8) << 20;
// The bounds of each read buffer of the runs waiting in the spill file.
inline constexpr qint64 kRunBufferMin = qint64(64) << 10;
inline constexpr qint64 kRunBufferMax = qint64(4) << 20;
// The shortest average line sortingCost() takes a part of unknown lines
// to hold.
inline constexpr qint64 kLineGuess = 40;

// The part of `budget` kept for what is not sorting: kFixedCost, or a
// quarter of a budget too small for it, so that even the smallest budgets
// (the tests') leave three quarters for the parts.
qint64 fixedCost(qint64 budget);

// Sorting a part of `bytes` bytes in `lines` lines holds at once the text,
// the line table (16 bytes a line), the records of the radix sort (48) or
// the result, whichever is larger, and the list of lines kept (4). Lines
// that are not plain ASCII have their collation keys kept besides, a few
// bytes for each of their bytes >= 0x80 (`high`).
qint64 sortingCost(qint64 bytes, qint64 lines, qint64 high = 0);
// The same for a part of unknown lines, taking them kLineGuess bytes long
// on average (about 2.7 times the part's size); shorter ones make the part
// end sooner (see fitLines()).
qint64 sortingCost(qint64 bytes);

// How the sources are cut into parts, one part for each sorting thread at
// a time.
struct PartSizes {
    qint64 usable = 0; // the budget less fixedCost()
    qint64 share = 0; // what sorting one part may cost: usable over the threads
    qint64 limit = 0; // bytes read for a part before it is fitted to `share`
    bool fits = false; // every source sorted in memory at once, no spill file
};
// `total` is the sources' size, `sizesKnown` false when a pipe stands for
// one of them.
PartSizes partSizes(qint64 budget, qint64 total, bool sizesKnown, unsigned threads);

// Moves the end `cut` of a part of many short lines, or of much text that
// is not ASCII, back so that sorting it fits `share`, counting its real
// lines; at least one line stays.
qsizetype fitLines(const QByteArray& text, qsizetype cut, qint64 share);

// The read buffer of each of `runs` runs merged from the spill file: half
// of what the budget leaves, shared among them, within the bounds above.
qint64 runBufferSize(qint64 usable, size_t runs);

// How many runs are merged at once: as many as half of what the budget
// leaves has read buffers of kRunBufferMin for, at least two. More runs are
// first merged in groups of that many into longer ones.
size_t mergeFanIn(qint64 usable);

} // namespace tess::tools
