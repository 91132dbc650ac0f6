#pragma once

#include "sites/SiteAddress.h"

#include <QByteArrayView>

#include <optional>

namespace tess::sites::detail {

// readSiteAddress(), and for the lines of a site list (bareNames) one that
// takes a single name without a scheme ("intranet") as a host: there a line
// is meant to be a domain, while in an address list such a line is a word.
std::optional<SiteAddress> readAddress(QByteArrayView line, bool bareNames);

} // namespace tess::sites::detail
