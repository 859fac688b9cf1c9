// The browser setting commands: the generic checks, which take no parameter and
// run with a fix flag, and the prefix and style-sheet commands, which take a
// text and have a scan and a cure handler.

#include "commands/browser.h"
#include "commands/handler_table.h"

namespace veldan::commands {
namespace {

using platform::Context;

template <UrlPrefix P>
int ScanPrefixCommand(Context& ctx, const Params& p) {
    return ScanUrlPrefix(ctx, P, p[0]);
}

template <UrlPrefix P>
int CurePrefixCommand(Context& ctx, const Params&) {
    return CureUrlPrefix(ctx, P);
}

template <UrlPrefix P>
Handlers PrefixHandlers() {
    return {.scan = &ScanPrefixCommand<P>, .cure = &CurePrefixCommand<P>};
}

template <int (*Check)(Context&, bool)>
Handlers FixHandlers() {
    return {.fix = [](Context& ctx, const Params&, bool fix) { return Check(ctx, fix); }};
}

template <const std::string_view* Key>
int MimeFilterCommand(Context& ctx, const Params&, bool fix) {
    return CheckMimeFilter(ctx, *Key, fix);
}

}  // namespace

void AddBrowserCommands(HandlerTable& table) {
    table["CheckStartSearchPages"] = FixHandlers<&CheckStartSearchPages>();
    table["CheckPrefix"] = FixHandlers<&CheckPrefix>();
    table["DefaultPrefix"] = PrefixHandlers<UrlPrefix::Default>();
    table["WWWPrefix"] = PrefixHandlers<UrlPrefix::WWW>();
    table["HomePrefix"] = PrefixHandlers<UrlPrefix::Home>();
    table["MosaicPrefix"] = PrefixHandlers<UrlPrefix::Mosaic>();
    table["FTPPrefix"] = PrefixHandlers<UrlPrefix::FTP>();
    table["GopherPrefix"] = PrefixHandlers<UrlPrefix::Gopher>();
    table["CheckToolbar"] = FixHandlers<&CheckToolbar>();
    table["CheckBHO"] = FixHandlers<&CheckBHO>();
    table["CheckURLSearchHooks"] = FixHandlers<&CheckURLSearchHooks>();
    table["CheckUserStyleSheet"] = FixHandlers<&CheckUserStyleSheet>();
    table["UserStylesheet"] = {
        .scan = [](Context& c, const Params& p) { return ScanUserStylesheet(c, p[0]); },
        .cure = [](Context& c, const Params& p) { return CureUserStylesheet(c, p[0]); }};
    table["CheckProtocolAbout"] = FixHandlers<&CheckProtocolAbout>();
    table["CheckProtocolTextHtml"] = {.fix = &MimeFilterCommand<&kTextHtmlFilterKey>};
    table["CheckProtocolTextPlain"] = {.fix = &MimeFilterCommand<&kTextPlainFilterKey>};
}

}  // namespace veldan::commands
