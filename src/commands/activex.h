#pragma once
// ActiveX controls and COM classes: the registry places where the browser and
// the shell refer to a class identifier, their scan and removal, the control
// file and its download-cache record, the registration tool, and the two
// immunization primitives (the ActiveX kill bit and the P3P cookie block).
//
// A class identifier I is traced through twelve places, searched and removed
// in this order:
//   1  HKCR CLSID\I and the AppID, in-process server, ProgID, TypeLib and
//      version-independent ProgID its registration names
//   2  HKLM Code Store Database\Distribution Units\I         key
//   3  HKLM Browser Helper Objects\I                          key
//   4  the three ToolbarValue places, value I                 values
//   5  HKLM Internet Explorer\Explorer Bars\I                 key
//   6  URLSearchHooks of HKLM and HKCU, value I               values
//   7  HKLM Shell Extensions\Approved, value I                value
//   8  HKLM ShellExecuteHooks, value I                        value
//   9  HKLM App Management\ARPCache\I                         key
//   10 HKCR PROTOCOLS\Filter\text/html, values whose data contains I
//   11 HKCR PROTOCOLS\Filter\text/plain, likewise
//   12 HKLM Active Setup\Installed Components\I (key) and ClsIdFeature (value I)
//
// Operations return the system's int results (1 found / done, 0 not) and
// never throw; the cure's outcome is carried by the failure list.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clsid.h"
#include "platform/context.h"
#include "platform/mode.h"

namespace veldan::commands {

// ---- registry places

// HKLM: the kill bits, one sub-key per class identifier.
inline constexpr std::string_view kActiveXCompatibilityKey =
    "Software\\Microsoft\\Internet Explorer\\ActiveX Compatibility";
// The kill-bit value (REG_DWORD) and the value that means "set".
inline constexpr std::string_view kCompatibilityFlagsValue = "Compatibility Flags";
inline constexpr std::uint32_t kKillBitFlag = 0x400;
// HKCU: the per-site cookie decisions, one sub-key per domain.
inline constexpr std::string_view kP3PHistoryKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\P3P\\History";
// The default value of a domain's key that blocks its cookies (REG_DWORD).
inline constexpr std::uint32_t kCookieBlockValue = 5;
// HKLM: the download cache's records of installed controls.
inline constexpr std::string_view kDistributionUnitsKey =
    "Software\\Microsoft\\Code Store Database\\Distribution Units";

// ---- class identifier tests (shared with the loader)

using platform::CheckClsid;
using platform::IsWellFormedClsid;

// ---- class traces

// Place 1: the places the registration names are read first; then the CLSID
// key (its result), the AppID key, the server file, the ProgID, TypeLib and
// version-independent ProgID keys are recorded (not counted) or removed. 1 when
// the CLSID key was newly recorded / its removal returned nonzero.
int ComRegistration(platform::Context& ctx, std::string_view clsid, platform::Mode mode);
// All twelve places; 1 when any place's result was nonzero.
int ScanComObject(platform::Context& ctx, std::string_view clsid);
int CureComObject(platform::Context& ctx, std::string_view clsid);

// ---- controls

// ScanFile(file parameter), then ScanComObject; 1 when either found something.
int ScanControl(platform::Context& ctx, std::string_view fileParam, std::string_view clsid);
// Reads the download-cache record, removes the control through the platform's
// control cache when it has one, CureComObject, CureFile of the control and of
// the record's ".inf" files. Returns 1.
int CureControl(platform::Context& ctx, std::string_view file, std::string_view clsid);
// The file paths of the control's download-cache record: the value names of
// Distribution Units\I\Contains\Files, then the "INF" value of
// Distribution Units\I\DownloadInformation when not empty.
std::vector<std::string> ReadDownloadCacheFiles(platform::Context& ctx, std::string_view clsid);
// The control file name (its path part, without a size) with its last three
// characters replaced by "inf": the setup information file the download cache
// keeps beside the control. "" for a name of fewer than three characters.
std::string CompanionInfName(std::string_view controlName);

// Starts the command line and waits until it ends (no time limit); 1 when the
// process could be created.
int RunAndWait(platform::Context& ctx, std::string_view commandLine);

// ---- kill bits and cookie blocks

// 0 for a malformed identifier ("CLSID... " debug line); else 1 when
// "Compatibility Flags" reads as a REG_DWORD equal to 0x400.
int QueryKillBit(platform::Context& ctx, std::string_view clsid);
// 0 for a malformed identifier or when "ActiveX Compatibility" does not exist
// (it is not created); else writes "Compatibility Flags" (0x400 on, 0 off) in
// the identifier's sub-key, creating it; the result is the write's success.
int SetKillBit(platform::Context& ctx, std::string_view clsid, bool on);
// 0 for a malformed identifier; else deletes the identifier's sub-key with all
// its content; 1 when that succeeded.
int DeleteKillBit(platform::Context& ctx, std::string_view clsid);
// 1 when the default value of the domain's P3P history key is REG_DWORD 5.
int QueryCookieBlock(platform::Context& ctx, std::string_view domain);
// On: creates the domain's key and writes its default value REG_DWORD 5;
// off: deletes the domain's key with its content. 1 on success.
int SetCookieBlock(platform::Context& ctx, std::string_view domain, bool on);

// ---- command handlers (parameters as the command table gives them)

// CLSIDOnly: ScanKey / CureKey of HKCR CLSID\I, with no format test.
int ClsidOnly(platform::Context& ctx, const std::vector<std::string>& params, platform::Mode mode);
// CLSID: ScanComObject / CureComObject.
int Clsid(platform::Context& ctx, const std::vector<std::string>& params, platform::Mode mode);
// Ax file, I: ScanControl / CureControl.
int Ax(platform::Context& ctx, const std::vector<std::string>& params, platform::Mode mode);
// AllAx name, I: ScanControl / CureControl of the name in AXCACHEDIR, WINDIR,
// SYSDIR, SYSTEMDIR, SYSTEM32DIR, TEMPDIR, WINTEMPDIR and "C:\\".
int AllAx(platform::Context& ctx, const std::vector<std::string>& params, platform::Mode mode);
// RegAx file (cure only): registers a matching control with the registration tool.
int CureRegAx(platform::Context& ctx, const std::vector<std::string>& params);
// UnregFromAppData name: ScanFile in the three application-data folders /
// unregisters matching files and removes their usage traces (files stay).
int ScanUnregFromAppData(platform::Context& ctx, const std::vector<std::string>& params);
int CureUnregFromAppData(platform::Context& ctx, const std::vector<std::string>& params);
// The type commands. Each part is scanned or cured as the mode asks; 1 when
// any part returned nonzero.
// DType name, I, address: control in AXCACHEDIR, internet shortcuts, companion
// ".inf" in AXCACHEDIR.
int DType(platform::Context& ctx, const std::vector<std::string>& params, platform::Mode mode);
// MType name, I, address, file: control in AXCACHEDIR, internet shortcuts, the
// file in MYDOCDIR.
int MType(platform::Context& ctx, const std::vector<std::string>& params, platform::Mode mode);
// WType name, I, address, folder: AllAx, internet shortcuts, the folder in
// WINDIR, companion ".inf" in AXCACHEDIR.
int WType(platform::Context& ctx, const std::vector<std::string>& params, platform::Mode mode);
// SType name, I: AllAx, UninstallKey I, companion ".inf" in AXCACHEDIR.
int SType(platform::Context& ctx, const std::vector<std::string>& params, platform::Mode mode);

}  // namespace veldan::commands
