#pragma once
// The browser's settings that hijackers change: start and search pages, URL
// prefixes, user style sheets, toolbars, helper objects, URL search hooks and
// the about: protocol and MIME filters. Each check compares fixed registry
// places with the browser's stock settings; in cure mode it writes the stock
// settings back or removes what does not belong.
//
// Operations return the system's int results (1 or a count for found / done,
// 0 for nothing) and never throw; failed writes and deletions are reported as
// failures by the registry operations that meet them.

#include <string>
#include <string_view>

#include "commands/registry_keys.h"
#include "platform/context.h"
#include "platform/folder_table.h"
#include "platform/mode.h"

namespace veldan::commands {

using platform::Mode;

// The class of the browser's own about: protocol handler.
inline constexpr std::string_view kStockAboutHandler = "{3050F406-98B5-11CF-BB82-00AA00BDCE0B}";
// A toolbar the browser itself lists under HKLM ToolBar; never judged.
inline constexpr std::string_view kStockToolbarBand = "{8E718888-423F-11D2-876E-00A0C9082467}";

// ---- stock page addresses
//
// The browser vendor's web site, search site and Korean portal are given by
// hosts of our own domain: "www.veldan.test", "search.veldan.test" and
// "home.veldan.test"; the paths and queries are the browser's own.

inline constexpr std::string_view kStockHomePage6 =
    "http://www.veldan.test/isapi/redir.dll?prd=ie&pver=6&ar=msnhome";
inline constexpr std::string_view kStockHomePage55 =
    "http://www.veldan.test/isapi/redir.dll?prd=ie&pver=5.5&ar=msnhome";
inline constexpr std::string_view kKoreanPortalHome = "http://home.veldan.test";
// The administrator's blocked-settings page; the leading blank belongs to it.
inline constexpr std::string_view kSoftAdminPage = " res://shdoclc.dll/softAdmin.htm";
inline constexpr std::string_view kStockSearchPage =
    "http://www.veldan.test/isapi/redir.dll?prd=ie&ar=iesearch";
inline constexpr std::string_view kStockStartPage =
    "http://www.veldan.test/isapi/"
    "redir.dll?prd={SUB_PRD}&clcid={SUB_CLSID}&pver={SUB_PVER}&ar=home";
inline constexpr std::string_view kStockSearchCustomizePage =
    "http://search.veldan.test/{SUB_RFC1766}/srchasst/srchcust.htm";
inline constexpr std::string_view kStockSearchAssistantPage =
    "http://search.veldan.test/{SUB_RFC1766}/srchasst/srchasst.htm";

// SYSDIR + "\\blank.htm", the browser's local blank page.
std::string BlankLocalPage(const platform::FolderTable& folders);
// BlankLocalPage lower-cased, with the lower-cased WINDIR replaced by
// "%SystemRoot%" (unchanged when WINDIR is empty or not part of it).
std::string BlankLocalPageEnv(const platform::FolderTable& folders);

// ---- URL prefixes (HKLM)

enum class UrlPrefix { Default, WWW, Home, Mosaic, FTP, Gopher };

struct UrlPrefixPlace {
    std::string_view key;
    std::string_view value;     // "" is the key's default value
    std::string_view standard;  // what the browser ships
};

// The place and standard of a prefix.
const UrlPrefixPlace& PrefixPlace(UrlPrefix prefix);

// ---- class identifiers

// True when the name is a well-formed class identifier whose in-process server
// (HKCR CLSID\name\InprocServer32, default value, trimmed) is not named or names
// an existing file. A malformed name writes "CLSID... " + name + "\n". The
// server path is resolved as the loader does: environment variables of an
// expandable value are expanded, and a bare file name is looked for in the
// system and Windows folders.
bool IsHealthyClsid(platform::Context& ctx, std::string_view name);

// ---- checks (the mode: look and record, or repair)

// The stock start, search and local pages of the machine and the user. Scan: 1
// when any place that differs from stock was newly recorded. Cure: writes the
// stock pages back, removes the user's overrides; returns 1.
int CheckStartSearchPages(platform::Context& ctx, Mode mode);
// The six URL prefixes. Scan: 1 when any prefix that is not exactly its
// standard was newly recorded. Cure: writes all six standards; returns 1.
int CheckPrefix(platform::Context& ctx, Mode mode);
// One prefix: 1 when its value contains the text and was newly recorded.
int ScanUrlPrefix(platform::Context& ctx, UrlPrefix prefix, std::string_view text);
// Writes the prefix's standard whatever the value holds; 1 when written.
int CureUrlPrefix(platform::Context& ctx, UrlPrefix prefix);
// HKLM ToolBar values not named by a healthy class. Scan: the number newly
// recorded. Cure: each is deleted from the three toolbar places; the number of
// such values.
int CheckToolbar(platform::Context& ctx, Mode mode);
// HKLM browser helper object keys not named by a healthy class. Scan: the
// number newly recorded. Cure: each is deleted; the number of such keys.
int CheckBHO(platform::Context& ctx, Mode mode);
// URL search hooks (HKCU, then HKLM) not named by a healthy class: recorded or
// deleted; 1 when any record or deletion returned nonzero.
int CheckURLSearchHooks(platform::Context& ctx, Mode mode);
// "Use My Stylesheet" and "User Stylesheet" of HKLM and HKCU Styles: recorded
// or deleted; 1 when any attempt returned nonzero.
int CheckUserStyleSheet(platform::Context& ctx, Mode mode);
// "User Stylesheet" of HKLM, then HKCU, recorded when it contains the text; 1
// when either was newly recorded.
int ScanUserStylesheet(platform::Context& ctx, std::string_view text);
// When either "User Stylesheet" contains the text, the four style-sheet values
// are deleted; 1 when any deletion returned nonzero, 0 when neither matched.
int CureUserStylesheet(platform::Context& ctx, std::string_view text);
// 1 when the about: protocol handler is not the browser's own (nothing is
// recorded); in cure mode the browser's handler is written back.
int CheckProtocolAbout(platform::Context& ctx, Mode mode);
// A MIME filter key of HKCR (kTextHtmlFilterKey, kTextPlainFilterKey). Scan:
// records the key and, when it is new, its "CLSID" value and that class's
// traces; the result is that of the "CLSID" value's record. Cure: removes the
// named class's traces and the key; 0 when the key does not exist.
int CheckMimeFilter(platform::Context& ctx, std::string_view filterKey, Mode mode);

}  // namespace veldan::commands
