#pragma once

#include <string>
#include <string_view>

// The result pages of the sample engine. Everything on a page follows from the
// keyword and the offset, so tests can predict what a harvest of it yields:
//
//  - ten results per page; result number r (1, 2, ... across pages, so page p
//    holds r = 10(p-1)+1 to 10p) links to resultAddress(word, r) with a title
//    that contains the keyword;
//  - per result a "快照" link back to the engine's own host;
//  - after the results, upper-cased copies of the addresses of results 2 and 7
//    of the page, two https links, a mailto: and a javascript: link;
//  - the pager line, then a footer with links to the own host.
namespace tess::sample {

struct EngineSettings {
    int pagesPerKeyword = 10;
    // Every page offers a further one, whatever pagesPerKeyword says.
    bool endlessPager = false;
};

struct SearchRequest {
    std::string wordGbk; // decoded "word" key: GBK bytes
    long long pn = 0; // "pn" key; absent, malformed or negative reads as 0
};

// Reads the keys of a raw query string (the text after "?").
SearchRequest parseSearchQuery(std::string_view rawQuery);

// "/baidu?lm=0&si=&rn=10&ie=gb2312&ct=0&word=<word>&pn=<pn>&cl=3", the same
// form the harvester asks with.
std::string searchTarget(std::string_view wordGbk, long long pn);

// "http://www.k<hash>-<r>.example.com/item/<r>.html" with hash = shortHash(word).
std::string resultAddress(std::string_view wordGbk, long long resultNumber);

// The whole page, GBK-encoded. host is the authority the browser asked for;
// the page links back to it.
std::string renderResultPage(
    const SearchRequest& request, std::string_view host, const EngineSettings& settings);

// A small GBK page for paths the engine does not know.
std::string renderNotFound(std::string_view target);

} // namespace tess::sample
