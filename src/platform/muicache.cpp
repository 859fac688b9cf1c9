#include "platform/muicache.h"

#include "platform/registry_ops.h"
#include "platform/reports.h"
#include "text/codepage.h"
#include "text/strings.h"

namespace veldan::platform {

void BuildMuiCacheList(Context& ctx) {
    std::vector<std::string>& list = ctx.muiCache();
    list.clear();
    const machine::HKEY hive = machine::HKEY_CURRENT_USER;
    const int count = CountValues(ctx, hive, kMuiCacheKey);
    for (int i = 0; i < count; ++i) {
        std::string name;
        const machine::WinError err = ctx.registry().EnumValue(
            hive, kMuiCacheKey, static_cast<std::uint32_t>(i), name, nullptr);
        // The name, with its terminating NUL, must fit the 260-byte buffer.
        if (err == machine::ERROR_SUCCESS && text::Cp949Length(name) + 1 <= kMaxPath) {
            list.push_back(std::move(name));
            continue;
        }
        std::string keyText;
        MakeKeyText(ctx, hive, kMuiCacheKey, keyText);
        ctx.Debug("SHEnumValue... " + keyText + "\n");
    }
}

int ScanMuiCache(Context& ctx, std::string_view path) {
    int result = 0;
    for (const std::string& name : ctx.muiCache()) {
        if (!text::EqualsNoCase(name, path)) continue;
        if (ReportValue(ctx, kFound, machine::HKEY_CURRENT_USER, kMuiCacheKey, name)) result = 1;
    }
    return result;
}

int CureMuiCache(Context& ctx, std::string_view path) {
    int result = 1;
    for (const std::string& name : ctx.muiCache()) {
        if (!text::EqualsNoCase(name, path)) continue;
        if (!CureValue(ctx, machine::HKEY_CURRENT_USER, kMuiCacheKey, name)) result = 0;
    }
    return result;
}

}  // namespace veldan::platform
