#include "tools/list/LinePattern.h"

#include "text/Errors.h"
#include "text/Gbk.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace tess::tools {

struct LinePattern::Compiled {
    pcre2_code* code = nullptr;
    pcre2_match_data* data = nullptr;
    ~Compiled()
    {
        pcre2_match_data_free(data);
        pcre2_code_free(code);
    }
};

LinePattern::LinePattern(const QString& pattern)
    : m_compiled(std::make_unique<Compiled>())
{
    // Lines are GBK bytes: the pattern is taken in the same encoding, so a
    // Chinese word in it matches the line's bytes of that word.
    const QByteArray bytes = text::toGbk(pattern);
    int error = 0;
    PCRE2_SIZE offset = 0;
    m_compiled->code = pcre2_compile(
        reinterpret_cast<PCRE2_SPTR>(bytes.constData()), bytes.size(), 0, &error, &offset, nullptr);
    if (!m_compiled->code) {
        PCRE2_UCHAR message[256];
        pcre2_get_error_message(error, message, sizeof message);
        throw text::AppError(QStringLiteral("bad pattern %1: %2 at offset %3")
                                 .arg(pattern, QString::fromLatin1(reinterpret_cast<const char*>(message)))
                                 .arg(offset));
    }
    // Without a JIT on this machine the interpreter matches the same.
    pcre2_jit_compile(m_compiled->code, PCRE2_JIT_COMPLETE);
    m_compiled->data = pcre2_match_data_create_from_pattern(m_compiled->code, nullptr);
}

LinePattern::~LinePattern() = default;

bool LinePattern::matches(QByteArrayView line) const
{
    const int rc = pcre2_match(m_compiled->code, reinterpret_cast<PCRE2_SPTR>(line.data()), line.size(), 0, 0,
        m_compiled->data, nullptr);
    return rc >= 0;
}

} // namespace tess::tools
