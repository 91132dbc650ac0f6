#pragma once

#include "tools/list/LineSteps.h"

#include <QByteArrayView>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tess::tools {

// A line as --unique takes it: its text, whether it names a host, its key
// and the key's hash, and the registrable domain the steps before found
// for it (empty when none asked).
struct KeyedLine {
    QByteArrayView text;
    QByteArrayView key;
    QByteArrayView domain;
    uint64_t hash = 0;
    bool hasSite = false;
};

// The lines of `upstream` with their keys, read, parsed and hashed on a
// thread of its own a few thousand lines ahead of the reader, so the
// reading and the addresses take one core and the table of keys the other.
// The lines come in their order; an error the upstream throws is thrown by
// next() in its place, after the lines before it. A small ring of blocks
// is filled over and over: nothing is allocated or freed a block.
class KeyedLines final {
public:
    KeyedLines(LineStream& upstream, LineKey kind);
    ~KeyedLines();
    KeyedLines(const KeyedLines&) = delete;
    KeyedLines& operator=(const KeyedLines&) = delete;
    // False after the last line. What `line` views lasts until the next call.
    bool next(KeyedLine& line);
    // The hash of the line `ahead` lines past the last one given, when that
    // line is ready in the same block; 0 otherwise.
    uint64_t hashAhead(size_t ahead) const;

private:
    struct Entry {
        size_t textAt = 0;
        size_t textSize = 0;
        size_t keySize = 0; // the key follows the text
        size_t domainSize = 0; // the domain follows the key
        uint64_t hash = 0;
        bool hasSite = false;
    };
    struct Block {
        std::string bytes;
        std::vector<Entry> entries;
        bool last = false;
        std::exception_ptr error;
    };

    void run();
    void fill(Block& block, ListLine& line);
    Block* waitFilled();

    LineStream& m_upstream;
    LineKey m_kind;
    std::vector<Block> m_blocks;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    uint64_t m_filled = 0; // blocks handed over, counted from the start
    uint64_t m_taken = 0; // blocks the reader is done with
    std::atomic<bool> m_stopping = false; // the reader has gone
    // The reader's side.
    Block* m_current = nullptr;
    size_t m_at = 0;
    bool m_done = false;
    std::thread m_thread;
};

} // namespace tess::tools
