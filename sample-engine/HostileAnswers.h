#pragma once

#include "SamplePage.h"

#include <atomic>
#include <string>

namespace httplib {
struct Response;
}

// Answers that try the harvester the way a broken or hostile engine would.
// A keyword "hostile-<kind>" gets the answer of that kind instead of a
// result page, so one keyword list can walk a run through all of them:
//
//   alert, confirm, prompt   a one-page result page that opens that page dialog
//   beforeunload             a one-page result page that asks before it is left
//   popups                   a one-page result page that opens 500 pop-up windows
//   stalledredirects         a one-page result page with four redirect links its redirector
//                            never answers
//   never                    part of a page, then nothing, for as long as the engine runs
//   script                   a page whose script never ends
//   download                 a file to save instead of a page
//   nocontent                204: nothing to show
//   auth                     401 asking for a user name and password
//   refresh                  a page that sends the browser to another host at once
//   error500                 500 with a body that looks like a result page
//   reset                    the answer breaks off after its headers
//   utf8                     a one-page result page in UTF-8 that declares no charset
//   nocharset                the same in GBK
namespace tess::sample {

// The path the refresh answer sends the browser to, on "localhost".
inline constexpr const char* kElsewherePath = "/elsewhere";

// Fills `res` for a hostile keyword and returns its HTTP status; returns 0
// (and leaves `res` alone) for any other keyword. `stopping` ends the
// answers that would otherwise never end.
int answerHostile(const SearchRequest& request, const std::string& host, int port,
    const std::atomic<bool>& stopping, httplib::Response& res);

// The page the refresh answer leads to: links and a pager, none of which
// the harvester may take.
std::string renderElsewhere();

} // namespace tess::sample
