// The registry place commands: a name or text looked up under one fixed family
// of keys (software, services, enum, extensions, zones, uninstall, module
// usage, shared DLLs, context-menu extensions, toolbar and browser settings).
// The place tables of registry_place.h make the handlers: a word looks up its
// name as a key below each of its key places and as a value of each of its
// value places.

#include "commands/command_rows.h"
#include "commands/registry_place.h"
#include "platform/file_ops.h"

namespace veldan::commands {
namespace {

inline constexpr std::array<RegistryPlace, 0> kNoPlaces{};

template <const auto& Keys, const auto& Values>
int Places(Context& ctx, const Params& p, Mode mode) {
    const int keys = KeyPlaces(ctx, Keys, p[0], mode);
    const int values = ValuePlaces(ctx, Values, p[0], mode);
    return keys || values ? 1 : 0;
}

// A word of key places and value places.
template <const auto& Keys, const auto& Values = kNoPlaces>
constexpr CommandRow PlaceRow(std::string_view word) {
    return ModeRow(word, 1, &Places<Keys, Values>);
}
template <const auto& Values>
constexpr CommandRow ValuePlaceRow(std::string_view word) {
    return PlaceRow<kNoPlaces, Values>(word);
}

}  // namespace

std::span<const CommandRow> RegistryPlaceRows() {
    static constexpr CommandRow kRows[] = {
        PlaceRow<kSoftwareKeyPlaces>("SoftwareKey"),
        PlaceRow<kServicesKeyPlaces>("ServicesKey"),
        PlaceRow<kEnumRootKeyPlaces>("EnumRootKey"),
        PlaceRow<kExtensionsKeyPlaces, kExtensionsValuePlaces>("ExtensionsKey"),
        Pair1<ScanDomainsKey, CureDomainsKey>("DomainsKey"),
        PlaceRow<kUninstallKeyPlaces>("UninstallKey"),
        Pair1<platform::ScanModuleUsage, platform::CureModuleUsage>("ModuleUsageKey"),
        Pair1<platform::ScanSharedDll, platform::CureSharedDll>("SharedDLLsValue"),
        PlaceRow<kMenuExtKeyPlaces>("MenuExtKey"),
        Pair1<ScanMenuExtKeyByData, CureMenuExtKeyByData>("MenuExtKeyByData"),
        ValuePlaceRow<kToolbarValuePlaces>("ToolbarValue"),
        ValuePlaceRow<kMainValuePlaces>("MainValue"),
        ValuePlaceRow<kIEValuePlaces>("IEValue"),
    };
    return kRows;
}

}  // namespace veldan::commands
