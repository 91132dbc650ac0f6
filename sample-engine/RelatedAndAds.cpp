// What every layout but the classic one adds around its results: related
// searches and advertisements, and where the rows of a page stand among its
// result containers. LayoutPages.h describes them.

#include "LayoutPages.h"
#include "SampleCodec.h"

namespace tess::sample {
namespace {

bool hasLetterIn(std::string_view text, char first, char last)
{
    for (char c : text) {
        if (c >= first && c <= last)
            return true;
    }
    return false;
}

std::string upperCased(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

// Upper-case ASCII letters as their full-width forms, U+FF21 to U+FF3A.
std::string fullWidth(std::string_view text)
{
    std::string out;
    for (char c : text) {
        if (c >= 'A' && c <= 'Z') {
            out += "\xEF\xBC";
            out += static_cast<char>(0xA1 + (c - 'A'));
        } else {
            out += c;
        }
    }
    return out;
}

bool hasResults(Layout layout, std::string_view wordGbk, long long page, const EngineSettings& settings)
{
    return layout != Layout::Classic && page >= 1 && !wordGbk.empty()
        && !wordGbk.starts_with(kNoResultsPrefix)
        && (settings.endlessPager || page <= settings.pagesPerKeyword);
}

// The result item after which the layout shows an item of its own in a
// result container; -1: none does.
int ownItemAfter(Layout layout)
{
    switch (layout) {
    case Layout::So360:
        return kSo360MoheAfter;
    case Layout::Sogou:
        return kSogouBaikeAfter;
    default:
        return -1;
    }
}

} // namespace

std::vector<std::string> relatedSearchTexts(std::string_view wordGbk)
{
    const std::string word = gbkToUtf8(wordGbk);
    std::string third = word + " 是什么";
    if (hasLetterIn(word, 'a', 'z'))
        third = upperCased(word);
    else if (hasLetterIn(word, 'A', 'Z'))
        third = fullWidth(word);
    return { word + " 教程", word + " 下载", third };
}

std::vector<PredictedRow> layoutAds(
    Layout layout, std::string_view wordGbk, long long page, const EngineSettings& settings)
{
    if (!hasResults(layout, wordGbk, page, settings))
        return {};
    const std::string hash = shortHash(wordGbk);
    std::vector<PredictedRow> ads;
    for (int n = 1; n <= settings.ads; ++n) {
        const std::string number = std::to_string(n);
        ads.push_back({ "https://ad" + number + "-k" + hash + "-p" + std::to_string(page)
                + ".ads-sample.example.com/landing",
            gbkToUtf8(wordGbk) + "_推广" + number });
    }
    return ads;
}

std::vector<PredictedPlace> predictedPlaces(
    Layout layout, std::string_view wordGbk, long long page, const EngineSettings& settings)
{
    if (!hasResults(layout, wordGbk, page, settings))
        return {};
    std::vector<PredictedPlace> places(static_cast<size_t>(settings.ads), PredictedPlace { true, -1 });
    const int after = ownItemAfter(layout);
    for (int i = 0; i < kResultsPerPage; ++i) {
        places.push_back({ false, after >= 0 && i > after ? i + 1 : i });
        // Today's cards link out directly, outside any result container.
        if (layout == Layout::Today && (i == 2 || i == 6))
            places.push_back({ false, -1 });
    }
    return places;
}

int predictedResultCount(
    Layout layout, std::string_view wordGbk, long long page, const EngineSettings& settings)
{
    if (!hasResults(layout, wordGbk, page, settings))
        return 0;
    return kResultsPerPage + (ownItemAfter(layout) >= 0 ? 1 : 0);
}

} // namespace tess::sample
