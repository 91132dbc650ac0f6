#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>

namespace tess::tools {

// A regular expression matched against a line's bytes as they are (GBK
// included): compiled once, with the JIT where the machine has one.
class LinePattern final {
public:
    // Throws text::AppError naming the compiler's complaint and where in
    // the pattern it stands.
    explicit LinePattern(const QString& pattern);
    ~LinePattern();
    LinePattern(const LinePattern&) = delete;
    LinePattern& operator=(const LinePattern&) = delete;

    // Whether the pattern matches anywhere in the line.
    bool matches(QByteArrayView line) const;

private:
    struct Compiled;
    std::unique_ptr<Compiled> m_compiled;
};

} // namespace tess::tools
