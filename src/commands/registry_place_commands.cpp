// The registry place commands: a name or text looked up under one fixed family
// of keys (software, services, enum, extensions, zones, uninstall, module
// usage, shared DLLs, context-menu extensions, toolbar and browser settings).

#include "commands/handler_table.h"
#include "commands/registry_place.h"

namespace veldan::commands {

void AddRegistryPlaceCommands(HandlerTable& table) {
    using platform::Context;
    table["SoftwareKey"] = {[](Context& c, const Params& p) { return ScanSoftwareKey(c, p[0]); },
                            [](Context& c, const Params& p) { return CureSoftwareKey(c, p[0]); }};
    table["ServicesKey"] = {nullptr, nullptr, [](Context& c, const Params& p, bool fix) {
                                return ServicesKey(c, p[0], fix);
                            }};
    table["EnumRootKey"] = {nullptr, nullptr, [](Context& c, const Params& p, bool fix) {
                                return EnumRootKey(c, p[0], fix);
                            }};
    table["ExtensionsKey"] = {
        [](Context& c, const Params& p) { return ScanExtensionsKey(c, p[0]); },
        [](Context& c, const Params& p) { return CureExtensionsKey(c, p[0]); }};
    table["DomainsKey"] = {[](Context& c, const Params& p) { return ScanDomainsKey(c, p[0], 1); },
                           [](Context& c, const Params& p) { return CureDomainsKey(c, p[0]); }};
    table["UninstallKey"] = {[](Context& c, const Params& p) { return ScanUninstallKey(c, p[0]); },
                             [](Context& c, const Params& p) { return CureUninstallKey(c, p[0]); }};
    table["ModuleUsageKey"] = {
        [](Context& c, const Params& p) { return ScanModuleUsageKey(c, p[0]); },
        [](Context& c, const Params& p) { return CureModuleUsageKey(c, p[0]); }};
    table["SharedDLLsValue"] = {
        [](Context& c, const Params& p) { return ScanSharedDLLsValue(c, p[0]); },
        [](Context& c, const Params& p) { return CureSharedDLLsValue(c, p[0]); }};
    table["MenuExtKey"] = {[](Context& c, const Params& p) { return ScanMenuExtKey(c, p[0]); },
                           [](Context& c, const Params& p) { return CureMenuExtKey(c, p[0]); }};
    table["MenuExtKeyByData"] = {
        [](Context& c, const Params& p) { return ScanMenuExtKeyByData(c, p[0]); },
        [](Context& c, const Params& p) { return CureMenuExtKeyByData(c, p[0]); }};
    table["ToolbarValue"] = {[](Context& c, const Params& p) { return ScanToolbarValue(c, p[0]); },
                             [](Context& c, const Params& p) { return CureToolbarValue(c, p[0]); }};
    table["MainValue"] = {[](Context& c, const Params& p) { return ScanMainValue(c, p[0]); },
                          [](Context& c, const Params& p) { return CureMainValue(c, p[0]); }};
    table["IEValue"] = {[](Context& c, const Params& p) { return ScanIEValue(c, p[0]); },
                        [](Context& c, const Params& p) { return CureIEValue(c, p[0]); }};
}

}  // namespace veldan::commands
