#pragma once

#include <QByteArray>

#include <exception>
#include <thread>
#include <vector>

namespace tess::tools {

class LineCollation;

// Sorts each part on a thread of its own as soon as it is read, so the
// next part is read while the first ones sort; a part's text is let go
// once it is sorted.
class PartSorter final {
public:
    // Room for `parts` parts at once.
    explicit PartSorter(size_t parts);
    ~PartSorter();
    PartSorter(const PartSorter&) = delete;
    PartSorter& operator=(const PartSorter&) = delete;

    // Sorts `text` without repeats under `order`, which no other thread
    // may use meanwhile.
    void start(QByteArray text, const LineCollation& order);
    // The sorted parts in the order they were started. Throws what the
    // first part to fail threw.
    std::vector<QByteArray> finish();

private:
    void join();

    std::vector<QByteArray> m_texts;
    std::vector<QByteArray> m_sorted;
    std::vector<std::exception_ptr> m_failed;
    std::vector<std::thread> m_workers;
};

} // namespace tess::tools
