// The ActiveX and COM commands: CLSID, CLSIDOnly, Ax, AllAx, RegAx,
// UnregFromAppData and the type commands DType, MType, WType, SType.

#include "commands/activex.h"
#include "commands/handler_table.h"

namespace veldan::commands {

void AddActiveXCommands(HandlerTable& table) {
    table["CLSIDOnly"] = {ScanClsidOnly, CureClsidOnly};
    table["CLSID"] = {ScanClsid, CureClsid};
    table["Ax"] = {ScanAx, CureAx};
    table["AllAx"] = {ScanAllAx, CureAllAx};
    table["RegAx"] = {nullptr, CureRegAx};
    table["UnregFromAppData"] = {ScanUnregFromAppData, CureUnregFromAppData};
    table["DType"] = {ScanDType, CureDType};
    table["MType"] = {ScanMType, CureMType};
    table["WType"] = {ScanWType, CureWType};
    table["SType"] = {ScanSType, CureSType};
}

}  // namespace veldan::commands
