// The ActiveX and COM commands: CLSID, CLSIDOnly, Ax, AllAx, RegAx,
// UnregFromAppData and the type commands DType, MType, WType, SType.

#include "commands/activex.h"
#include "commands/command_rows.h"

namespace veldan::commands {
std::span<const CommandRow> ActiveXRows() {
    static constexpr CommandRow kRows[] = {
        ModeRow("CLSIDOnly", 1, &ClsidOnly),
        ModeRow("CLSID", 1, &Clsid),
        ModeRow("Ax", 2, &Ax),
        ModeRow("AllAx", 2, &AllAx),
        CureOnlyRow("RegAx", 1, &CureRegAx),
        PairRow("UnregFromAppData", 1, &ScanUnregFromAppData, &CureUnregFromAppData),
        ModeRow("DType", 3, &DType),
        ModeRow("MType", 4, &MType),
        ModeRow("WType", 4, &WType),
        ModeRow("SType", 2, &SType),
    };
    return kRows;
}

}  // namespace veldan::commands
