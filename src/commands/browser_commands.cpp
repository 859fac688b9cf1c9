// The browser setting commands: the generic checks, which take no parameter and
// are told the mode, and the prefix and style-sheet commands, which take a
// text and have a scan and a cure handler.

#include "commands/browser.h"
#include "commands/command_rows.h"

namespace veldan::commands {
namespace {

template <UrlPrefix P>
int ScanPrefixCommand(Context& ctx, const Params& p) {
    return ScanUrlPrefix(ctx, P, p[0]);
}

template <UrlPrefix P>
int CurePrefixCommand(Context& ctx, const Params&) {
    return CureUrlPrefix(ctx, P);
}

template <UrlPrefix P>
constexpr CommandRow PrefixRow(std::string_view word) {
    return PairRow(word, 1, &ScanPrefixCommand<P>, &CurePrefixCommand<P>);
}

template <const std::string_view* Key>
int MimeFilterCommand(Context& ctx, Mode mode) {
    return CheckMimeFilter(ctx, *Key, mode);
}

}  // namespace

std::span<const CommandRow> BrowserRows() {
    static constexpr CommandRow kRows[] = {
        Check0<CheckStartSearchPages>("CheckStartSearchPages"),
        Check0<CheckPrefix>("CheckPrefix"),
        PrefixRow<UrlPrefix::Default>("DefaultPrefix"),
        PrefixRow<UrlPrefix::WWW>("WWWPrefix"),
        PrefixRow<UrlPrefix::Home>("HomePrefix"),
        PrefixRow<UrlPrefix::Mosaic>("MosaicPrefix"),
        PrefixRow<UrlPrefix::FTP>("FTPPrefix"),
        PrefixRow<UrlPrefix::Gopher>("GopherPrefix"),
        Check0<CheckToolbar>("CheckToolbar"),
        Check0<CheckBHO>("CheckBHO"),
        Check0<CheckURLSearchHooks>("CheckURLSearchHooks"),
        Check0<CheckUserStyleSheet>("CheckUserStyleSheet"),
        Pair1<ScanUserStylesheet, CureUserStylesheet>("UserStylesheet"),
        Check0<CheckProtocolAbout>("CheckProtocolAbout"),
        Check0<MimeFilterCommand<&kTextHtmlFilterKey>>("CheckProtocolTextHtml"),
        Check0<MimeFilterCommand<&kTextPlainFilterKey>>("CheckProtocolTextPlain"),
    };
    return kRows;
}

}  // namespace veldan::commands
