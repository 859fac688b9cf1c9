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

int KeyItem(Context& ctx, std::int32_t status, machine::HKEY hive, std::string_view subKey) {
    std::string text;
    if (!MakeKeyText(ctx, hive, subKey, text)) return 0;
    return Add(ctx, RegistryItem(status, REGKEY, std::move(text), hive, subKey));
}

int DataItem(Context& ctx, std::int32_t status, machine::HKEY hive, std::string_view subKey,
             std::string_view valueName, std::string_view data) {
    std::string text;
    if (!MakeDataText(ctx, hive, subKey, valueName, data, text)) return 0;
    return Add(ctx, RegistryItem(status, REGDAT, std::move(text), hive, subKey, valueName, data));
}

// A value that reads as a string of at most 260 bytes is a REGDAT item with its
// data; any other value a REGVAL item.
int ValueItem(Context& ctx, std::int32_t status, machine::HKEY hive, std::string_view subKey,
              std::string_view valueName) {
    std::string data;
    if (status == SCAN && ReadStringValue(ctx, hive, subKey, valueName, data)) {
        return DataItem(ctx, status, hive, subKey, valueName, data);
    }
    std::string text;
    if (!MakeValueText(ctx, hive, subKey, valueName, text)) return 0;
    return Add(ctx, RegistryItem(status, REGVAL, std::move(text), hive, subKey, valueName));
}

}  // namespace

int ReportFoundKey(Context& ctx, machine::HKEY hive, std::string_view subKey) {
    return KeyItem(ctx, SCAN, hive, subKey);
}

int ReportFoundValue(Context& ctx, machine::HKEY hive, std::string_view subKey,
                     std::string_view valueName) {
    return ValueItem(ctx, SCAN, hive, subKey, valueName);
}

int ReportFoundData(Context& ctx, machine::HKEY hive, std::string_view subKey,
                    std::string_view valueName, std::string_view data) {
    return DataItem(ctx, SCAN, hive, subKey, valueName, data);
}

int ReportFoundProfileString(Context& ctx, std::string_view section, std::string_view key,
                             std::string_view value, std::string_view file) {
    return Add(ctx, Item(SCAN, PROSTR, ProfileText(true, section, key, value, file)));
}

int ReportFoundFile(Context& ctx, std::string_view path) {
    return Add(ctx, Item(SCAN, FILE, LongForm(ctx, path)));
}

int ReportFoundDir(Context& ctx, std::string_view path) {
    return Add(ctx, Item(SCAN, DIR, LongForm(ctx, path)));
}

int ReportFoundLsp(Context& ctx, machine::HKEY hive, std::string_view key,
                   std::string_view provider) {
    std::string text;
    if (!MakeKeyText(ctx, hive, key, text)) return 0;
    CScanItem item = Item(SCAN, LSP, std::move(text));
    item.extra.assign(provider);
    return Add(ctx, std::move(item));
}

int ReportFailedKey(Context& ctx, machine::HKEY hive, std::string_view subKey) {
    return KeyItem(ctx, FAIL, hive, subKey);
}

int ReportFailedValue(Context& ctx, machine::HKEY hive, std::string_view subKey,
                      std::string_view valueName) {
    return ValueItem(ctx, FAIL, hive, subKey, valueName);
}

int ReportFailedData(Context& ctx, machine::HKEY hive, std::string_view subKey,
                     std::string_view valueName, std::string_view data) {
    return DataItem(ctx, FAIL, hive, subKey, valueName, data);
}

int ReportFailedProfileString(Context& ctx, std::string_view section, std::string_view key,
                              std::string_view value, std::string_view file) {
    return Add(ctx, Item(FAIL, PROSTR, ProfileText(false, section, key, value, file)));
}

int ReportFailedFile(Context& ctx, std::string_view path) {
    return Add(ctx, Item(FAIL, FILE, LongForm(ctx, path)));
}

int ReportFailedDir(Context& ctx, std::string_view path) {
    return Add(ctx, Item(FAIL, DIR, LongForm(ctx, path)));
}

}  // namespace veldan::platform
