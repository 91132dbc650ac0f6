#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Two texts are "the same ignoring case" exactly when they differ only in
// letter case: not in width, accents, punctuation or control characters.
// The comparison works on characters, never on GBK bytes: a trail byte that
// happens to be an ASCII letter is not a letter.
namespace tess::text {

// A key that is equal for two GBK texts exactly when they are the same
// ignoring case. Plain ASCII folds to lower case in place; other text is
// decoded, case-folded and kept as UTF-8.
QByteArray caseKey(QByteArrayView gbk);

bool sameIgnoringCase(QByteArrayView a, QByteArrayView b);

} // namespace tess::text
