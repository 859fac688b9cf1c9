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
int ScanPlaces(Context& ctx, const Params& p) {
    const int keys = ScanKeyPlaces(ctx, Keys, p[0]);
    const int values = ScanValuePlaces(ctx, Values, p[0]);
    return keys || values ? 1 : 0;
}

template <const auto& Keys, const auto& Values>
int CurePlaces(Context& ctx, const Params& p) {
    const int keys = CureKeyPlaces(ctx, Keys, p[0]);
    const int values = CureValuePlaces(ctx, Values, p[0]);
    return keys || values ? 1 : 0;
}

template <const auto& Keys>
int PlacesInMode(Context& ctx, const Params& p, Mode mode) {
    return mode == Mode::Cure ? CurePlaces<Keys, kNoPlaces>(ctx, p)
                              : ScanPlaces<Keys, kNoPlaces>(ctx, p);
}

// A word of key places and value places with a scan and a cure handler.
template <const auto& Keys, const auto& Values = kNoPlaces>
constexpr CommandRow PlaceRow(std::string_view word) {
    return PairRow(word, 1, &ScanPlaces<Keys, Values>, &CurePlaces<Keys, Values>);
}
template <const auto& Values>
constexpr CommandRow ValuePlaceRow(std::string_view word) {
    return PlaceRow<kNoPlaces, Values>(word);
}
// A word of key places with one handler told the mode.
template <const auto& Keys>
constexpr CommandRow PlaceModeRow(std::string_view word) {
    return ModeRow(word, 1, &PlacesInMode<Keys>);
}

}  // namespace

std::span<const CommandRow> RegistryPlaceRows() {
    static constexpr CommandRow kRows[] = {
        PlaceRow<kSoftwareKeyPlaces>("SoftwareKey"),
        PlaceModeRow<kServicesKeyPlaces>("ServicesKey"),
        PlaceModeRow<kEnumRootKeyPlaces>("EnumRootKey"),
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
