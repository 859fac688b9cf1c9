#include "commands/registry_place.h"

#include <string>
#include <vector>

#include "platform/file_ops.h"
#include "platform/registry_ops.h"
#include "platform/reports.h"
#include "text/strings.h"

namespace veldan::commands {
namespace {

using platform::Context;
using platform::Mode;

// The zone number of the trusted sites.
constexpr std::uint32_t kTrustedZone = 2;

// A name that is empty or made only of blanks and backslashes would make the
// fixed base key itself (HKLM\Software, every service, ...) the key to look at
// and, when curing, to delete; such a name names nothing.
bool NamesSomething(std::string_view name) {
    return name.find_first_not_of(" \t\\") != std::string_view::npos;
}

std::string Child(std::string_view base, std::string_view name) {
    std::string path(base);
    path.append("\\").append(name);
    return path;
}

// The domain key qualifies: it exists and its "*" value is the DWORD of the trusted zone.
bool DomainTrusted(Context& ctx, const RegistryPlace& place, std::string_view domain) {
    const std::string key = Child(place.base, domain);
    std::uint32_t zone = 0;
    return platform::KeyExists(ctx, place.hive, key) &&
           platform::ReadDwordValue(ctx, place.hive, key, "*", zone) && zone == kTrustedZone;
}

// Withdraws the value failures recorded under a key that is now gone: its
// values went with it.
void RollBackValueFailures(Context& ctx, machine::HKEY hive, std::string_view subKey) {
    std::string keyText;
    if (!platform::MakeKeyText(ctx, hive, subKey, keyText)) return;
    const std::string prefix = keyText + " \"";
    std::vector<std::string> texts;
    for (const platform::CScanItem& item : ctx.report().failed().items()) {
        if (item.type == platform::REGVAL && text::StartsWithNoCase(item.text, prefix))
            texts.push_back(item.text);
    }
    for (const std::string& t : texts) ctx.report().RollBack(platform::REGVAL, t);
}

// Calls `take(hive, key)` for every context-menu extension key; the number of
// calls that returned true. An empty text is contained in every value: it
// would take every extension, so it takes none.
template <class Take>
int CountMenuExtKeys(Context& ctx, std::string_view text, Take take) {
    if (text.empty()) return 0;
    int count = 0;
    for (const RegistryPlace& p : kMenuExtKeyPlaces) {
        std::vector<std::string> names;
        if (platform::EnumSubKeyNames(ctx, p.hive, p.base, names) <= 0) continue;
        for (const std::string& name : names) {
            if (take(p.hive, Child(p.base, name))) ++count;
        }
    }
    return count;
}

}  // namespace

int KeyPlaces(Context& ctx, std::span<const RegistryPlace> places, std::string_view name,
              Mode mode) {
    if (!NamesSomething(name)) return 0;
    using KeyOp = int (*)(Context&, machine::HKEY, std::string_view);
    const KeyOp op = mode == Mode::Scan ? KeyOp(platform::ScanKey) : KeyOp(platform::CureKey);
    int any = 0;
    for (const RegistryPlace& p : places) {
        if (op(ctx, p.hive, Child(p.base, name))) any = 1;
    }
    return any;
}

int ValuePlaces(Context& ctx, std::span<const RegistryPlace> places, std::string_view name,
                Mode mode) {
    if (!NamesSomething(name)) return 0;
    using ValueOp = int (*)(Context&, machine::HKEY, std::string_view, std::string_view);
    const ValueOp op =
        mode == Mode::Scan ? ValueOp(platform::ScanValue) : ValueOp(platform::CureValue);
    int any = 0;
    for (const RegistryPlace& p : places) {
        if (op(ctx, p.hive, p.base, name)) any = 1;
    }
    return any;
}

int ScanDomainsKey(Context& ctx, std::string_view domain) {
    if (!NamesSomething(domain)) return 0;
    int any = 0;
    for (const RegistryPlace& p : kDomainsKeyPlaces) {
        if (DomainTrusted(ctx, p, domain) &&
            platform::ReportKey(ctx, platform::kFound, p.hive, Child(p.base, domain))) {
            any = 1;
        }
    }
    return any;
}

int DomainsKeyTrusted(Context& ctx, std::string_view domain) {
    if (!NamesSomething(domain)) return 0;
    for (const RegistryPlace& p : kDomainsKeyPlaces) {
        if (DomainTrusted(ctx, p, domain)) return 1;
    }
    return 0;
}

int CureDomainsKey(Context& ctx, std::string_view domain) {
    if (!DomainsKeyTrusted(ctx, domain)) return 0;
    return KeyPlaces(ctx, kDomainsKeyPlaces, domain, Mode::Cure);
}

int ScanMenuExtKeyByData(Context& ctx, std::string_view text) {
    return CountMenuExtKeys(ctx, text, [&](machine::HKEY hive, const std::string& key) {
        return platform::ScanValueByData(ctx, hive, key, text) > 0;
    });
}

int CureMenuExtKeyByData(Context& ctx, std::string_view text) {
    return CountMenuExtKeys(ctx, text, [&](machine::HKEY hive, const std::string& key) {
        if (platform::CureValueByData(ctx, hive, key, text) <= 0) return false;
        if (platform::CureKey(ctx, hive, key)) RollBackValueFailures(ctx, hive, key);
        return true;
    });
}

}  // namespace veldan::commands
