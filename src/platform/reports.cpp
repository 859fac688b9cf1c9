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

}  // namespace

int ReportFoundKey(Context& ctx, machine::HKEY hive, std::string_view subKey) {
    std::string text;
    if (!MakeKeyText(ctx, hive, subKey, text)) return 0;
    CScanItem item = Item(SCAN, REGKEY, std::move(text));
    item.hive = hive;
    item.keyPath.assign(subKey);
    return ctx.report().AddFoundItem(std::move(item));
}

int ReportFoundValue(Context& ctx, machine::HKEY hive, std::string_view subKey,
                     std::string_view valueName) {
    std::string data;
    if (ReadStringValue(ctx, hive, subKey, valueName, data)) {
        return ReportFoundData(ctx, hive, subKey, valueName, data);
    }
    std::string text;
    if (!MakeValueText(ctx, hive, subKey, valueName, text)) return 0;
    CScanItem item = Item(SCAN, REGVAL, std::move(text));
    item.hive = hive;
    item.keyPath.assign(subKey);
    item.valueName.assign(valueName);
    return ctx.report().AddFoundItem(std::move(item));
}

int ReportFoundData(Context& ctx, machine::HKEY hive, std::string_view subKey,
                    std::string_view valueName, std::string_view data) {
    std::string text;
    if (!MakeDataText(ctx, hive, subKey, valueName, data, text)) return 0;
    CScanItem item = Item(SCAN, REGDAT, std::move(text));
    item.hive = hive;
    item.keyPath.assign(subKey);
    item.valueName.assign(valueName);
    item.data.assign(data);
    return ctx.report().AddFoundItem(std::move(item));
}

int ReportFoundProfileString(Context& ctx, std::string_view section, std::string_view key,
                             std::string_view value, std::string_view file) {
    return ctx.report().AddFoundItem(
        Item(SCAN, PROSTR, ProfileText(true, section, key, value, file)));
}

int ReportFoundFile(Context& ctx, std::string_view path) {
    return ctx.report().AddFoundItem(Item(SCAN, FILE, LongForm(ctx, path)));
}

int ReportFoundDir(Context& ctx, std::string_view path) {
    return ctx.report().AddFoundItem(Item(SCAN, DIR, LongForm(ctx, path)));
}

int ReportFoundLsp(Context& ctx, machine::HKEY hive, std::string_view key,
                   std::string_view provider) {
    std::string text;
    if (!MakeKeyText(ctx, hive, key, text)) return 0;
    CScanItem item = Item(SCAN, LSP, std::move(text));
    item.extra.assign(provider);
    return ctx.report().AddFoundItem(std::move(item));
}

int ReportFailedKey(Context& ctx, machine::HKEY hive, std::string_view subKey) {
    std::string text;
    if (!MakeKeyText(ctx, hive, subKey, text)) return 0;
    return ctx.report().AddFailedItem(Item(FAIL, REGKEY, std::move(text)));
}

int ReportFailedValue(Context& ctx, machine::HKEY hive, std::string_view subKey,
                      std::string_view valueName) {
    std::string text;
    if (!MakeValueText(ctx, hive, subKey, valueName, text)) return 0;
    return ctx.report().AddFailedItem(Item(FAIL, REGVAL, std::move(text)));
}

int ReportFailedData(Context& ctx, machine::HKEY hive, std::string_view subKey,
                     std::string_view valueName, std::string_view data) {
    std::string text;
    if (!MakeDataText(ctx, hive, subKey, valueName, data, text)) return 0;
    return ctx.report().AddFailedItem(Item(FAIL, REGDAT, std::move(text)));
}

int ReportFailedProfileString(Context& ctx, std::string_view section, std::string_view key,
                              std::string_view value, std::string_view file) {
    return ctx.report().AddFailedItem(
        Item(FAIL, PROSTR, ProfileText(false, section, key, value, file)));
}

int ReportFailedFile(Context& ctx, std::string_view path) {
    return ctx.report().AddFailedItem(Item(FAIL, FILE, LongForm(ctx, path)));
}

int ReportFailedDir(Context& ctx, std::string_view path) {
    return ctx.report().AddFailedItem(Item(FAIL, DIR, LongForm(ctx, path)));
}

}  // namespace veldan::platform
