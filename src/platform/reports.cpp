#include "platform/reports.h"

#include "platform/registry_ops.h"

namespace veldan::platform {
namespace {

CScanItem Item(std::int32_t status, std::int32_t type, std::string text) {
    CScanItem item;
    item.status = status;
    item.type = type;
    item.text = std::move(text);
    return item;
}

// `file` [`section`] "`key`"="`value`" for found entries; failed ones have no brackets.
std::string ProfileText(bool brackets, std::string_view section, std::string_view key,
                        std::string_view value, std::string_view file) {
    std::string out(file);
    out += brackets ? " [" : " ";
    out.append(section);
    out += brackets ? "] \"" : " \"";
    out.append(key).append("\"=\"").append(value).append("\"");
    return out;
}

// The long form of a path; "" when it does not exist. A long form longer than
// the platform's path buffer is reported whole: the cure acts on the file, so
// the report must name it.
std::string LongForm(Context& ctx, std::string_view path) {
    std::string longPath;
    if (ctx.files().GetLongPathName(path, longPath) != machine::ERROR_SUCCESS) return {};
    return longPath;
}

// Found items go to the found list with the registry place they name, which
// the cure acts on; failed items to the failure list with their text alone.
int Add(Context& ctx, CScanItem item) {
    return item.status == SCAN ? ctx.report().AddFoundItem(std::move(item))
                               : ctx.report().AddFailedItem(std::move(item));
}

CScanItem RegistryItem(std::int32_t status, std::int32_t type, std::string text, machine::HKEY hive,
                       std::string_view subKey, std::string_view valueName = {},
                       std::string_view data = {}) {
    CScanItem item = Item(status, type, std::move(text));
    if (status != SCAN) return item;
    item.hive = hive;
    item.keyPath.assign(subKey);
    item.valueName.assign(valueName);
    item.data.assign(data);
    return item;
}

std::int32_t Status(ItemList list) {
    return list == kFound ? SCAN : FAIL;
}

}  // namespace

int ReportKey(Context& ctx, ItemList list, machine::HKEY hive, std::string_view subKey) {
    std::string text;
    if (!MakeKeyText(ctx, hive, subKey, text)) return 0;
    return Add(ctx, RegistryItem(Status(list), REGKEY, std::move(text), hive, subKey));
}

int ReportData(Context& ctx, ItemList list, machine::HKEY hive, std::string_view subKey,
               std::string_view valueName, std::string_view data) {
    std::string text;
    if (!MakeDataText(ctx, hive, subKey, valueName, data, text)) return 0;
    return Add(ctx,
               RegistryItem(Status(list), REGDAT, std::move(text), hive, subKey, valueName, data));
}

// A value that reads as a string of at most 260 bytes is found as a REGDAT item
// with its data; any other value, and every failure, is a REGVAL item.
int ReportValue(Context& ctx, ItemList list, machine::HKEY hive, std::string_view subKey,
                std::string_view valueName) {
    std::string data;
    if (list == kFound && ReadStringValue(ctx, hive, subKey, valueName, data)) {
        return ReportData(ctx, list, hive, subKey, valueName, data);
    }
    std::string text;
    if (!MakeValueText(ctx, hive, subKey, valueName, text)) return 0;
    return Add(ctx, RegistryItem(Status(list), REGVAL, std::move(text), hive, subKey, valueName));
}

int ReportProfileString(Context& ctx, ItemList list, std::string_view section, std::string_view key,
                        std::string_view value, std::string_view file) {
    return Add(ctx,
               Item(Status(list), PROSTR, ProfileText(list == kFound, section, key, value, file)));
}

int ReportFile(Context& ctx, ItemList list, std::string_view path) {
    return Add(ctx, Item(Status(list), FILE, LongForm(ctx, path)));
}

int ReportDir(Context& ctx, ItemList list, std::string_view path) {
    return Add(ctx, Item(Status(list), DIR, LongForm(ctx, path)));
}

int ReportFoundLsp(Context& ctx, machine::HKEY hive, std::string_view key,
                   std::string_view provider) {
    std::string text;
    if (!MakeKeyText(ctx, hive, key, text)) return 0;
    CScanItem item = Item(SCAN, LSP, std::move(text));
    item.extra.assign(provider);
    return Add(ctx, std::move(item));
}

}  // namespace veldan::platform
