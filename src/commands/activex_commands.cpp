// The ActiveX and COM commands: CLSID, CLSIDOnly, Ax, AllAx, RegAx,
// UnregFromAppData and the type commands DType, MType, WType, SType.

#include "commands/activex.h"
#include "commands/command_rows.h"

namespace veldan::commands {
std::span<const CommandRow> ActiveXRows() {
    static constexpr CommandRow kRows[] = {
        PairRow("CLSIDOnly", 1, &ScanClsidOnly, &CureClsidOnly),
        PairRow("CLSID", 1, &ScanClsid, &CureClsid),
        PairRow("Ax", 2, &ScanAx, &CureAx),
        PairRow("AllAx", 2, &ScanAllAx, &CureAllAx),
        CureOnlyRow("RegAx", 1, &CureRegAx),
        PairRow("UnregFromAppData", 1, &ScanUnregFromAppData, &CureUnregFromAppData),
        PairRow("DType", 3, &ScanDType, &CureDType),
        PairRow("MType", 4, &ScanMType, &CureMType),
        PairRow("WType", 4, &ScanWType, &CureWType),
        PairRow("SType", 2, &ScanSType, &CureSType),
    };
    return kRows;
}

}  // namespace veldan::commands
