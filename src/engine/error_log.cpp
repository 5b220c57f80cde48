#include "engine/error_log.h"

#include <cstdio>

#include "base/error.h"
#include "engine/setup_context.h"
#include "diagnostics/cpu_speed.h"
#include "diagnostics/os_info.h"
#include "platform/files.h"
#include "platform/system_info.h"
#include "platform/text.h"

namespace zq {

namespace {

constexpr const char* kEol = "\r\n";

void Heading(std::string& out, const std::string& title) {
  out += title + kEol;
  out += std::string(title.size(), '-') + kEol;
}

void Value(std::string& out, const std::string& name, const std::string& value) {
  // The "%-22s : %s" column: padded, never cut.
  std::string padded = name;
  if (padded.size() < 22) padded.resize(22, ' ');
  out += padded + " : " + value + kEol;
}

std::string WithBackslash(const std::string& folder) {
  if (folder.empty() || folder.back() == '\\' || folder.back() == '/') return folder;
  return folder + "\\";
}

}  // namespace

std::string ErrorType(const std::string& stage) { return stage.empty() ? "Unknown" : stage; }

std::string MaskedParams(const std::vector<std::string>& params) {
  std::string out;
  for (std::size_t i = 0; i < params.size(); ++i) {
    std::string piece = params[i];
    if (platform::UpperCase(params[i]) == "/J") {
      // The switch carries a user name and an address that must not travel in a bug report.
      piece = "/j X X.X.X.X";
      i += 2;
    }
    if (!out.empty()) out += ' ';
    out += piece;
  }
  return out;
}

std::string ErrorReportText(const ErrorReport& r) {
  std::string out;
  Heading(out, "General Info");
  Value(out, "Setup Name", r.SetupName);
  Value(out, "Setup EXE Name", r.SetupExeName);
  out += kEol;
  Heading(out, "Pak Info");
  Value(out, "ID", r.PakID);
  Value(out, "Version", r.PakVersion);
  Value(out, "Count", r.PakFileCount);
  out += kEol;
  Value(out, "ErrorType", ErrorType(r.Stage));
  Value(out, "ErrorText", r.Message);
  out += kEol;
  Value(out, "Params", MaskedParams(r.Params));
  Value(out, "ParamCount", std::to_string(r.Params.size()));
  out += kEol;
  Heading(out, "Windows Info");
  Value(out, "Product", r.Product);
  Value(out, "BuildNumber", std::to_string(r.BuildNumber));
  Value(out, "ServicePack", r.ServicePack);
  Value(out, "ServicePackMajor", std::to_string(r.ServicePackMajor));
  Value(out, "ServicePackMinor", std::to_string(r.ServicePackMinor));
  out += kEol;
  Value(out, "Physical Memory", std::to_string(r.PhysicalMemory / 1024 / 1024 + 1) + "MB");
  Value(out, "CPU Speed", std::to_string(r.CpuMhz) + "Mhz");
  return out;
}

std::string NextErrorLogPath(const std::string& folder) {
  const std::string base = WithBackslash(folder);
  for (unsigned n = 0;; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "ErrorLog%.4u.TXT", n);
    std::string path = base + name;
    if (!platform::FileExists(path)) return path;
  }
}

std::string WriteErrorLogFile(const std::string& folder, const std::string& text) {
  const std::string path = NextErrorLogPath(folder);
  platform::File file;
  if (!file.Open(path, platform::OpenMode::Create)) throw Error("cannot create " + path);
  if (file.Write(text.data(), text.size()) != text.size()) throw Error("cannot write " + path);
  file.Close();
  return path;
}

std::u16string ErrorReportBoxText(const std::string& stage, const std::string& message, const std::string& path) {
  return platform::Utf8ToWide(ErrorType(stage) + " Error: " + message + "\r\r" +
                              "Error Log Created. Please Include \"" + path + "\" with your bug report");
}

std::string WriteErrorLog(SetupContext& ctx, const std::string& message, const std::string& stage,
                          const std::vector<std::string>& params, const ErrorLogSystem& system) {
  ErrorReport r;
  r.SetupName = ctx.Setup.SetupInfo.SetupName;
  r.SetupExeName = ctx.Setup.SetupInfo.SetupExeName;
  // The error may come before the container was opened.
  if (ctx.Setup.Pak) {
    const PakHeader& h = ctx.Setup.Pak->Header();
    for (char c : h.ID) {
      if (c == '\0') break;
      r.PakID += c;
    }
    r.PakVersion = std::to_string(h.Version);
    r.PakFileCount = std::to_string(h.FileCount);
  }
  r.Stage = stage;
  r.Message = message;
  r.Params = params;
  r.Product = std::string(OSProductName(TOSInfo::Product())) + " " + TOSInfo::Edition();
  r.BuildNumber = TOSInfo::BuildNumber();
  r.ServicePack = TOSInfo::ServicePack();
  r.ServicePackMajor = TOSInfo::ServicePackMajor();
  r.ServicePackMinor = TOSInfo::ServicePackMinor();
  r.PhysicalMemory = platform::TotalPhysicalMemory();
  r.CpuMhz = system.CpuSpeedMhz ? system.CpuSpeedMhz() : MeasureCpuSpeedMhz();

  const std::string path =
      WriteErrorLogFile(system.Folder.empty() ? platform::TempDir() : system.Folder, ErrorReportText(r));
  ctx.Services.ShowMessageBox(ErrorReportBoxText(stage, message, path), u"Error Report", kMbOk | kMbIconError);
  if (system.OpenFile) system.OpenFile(path);
  else platform::OpenWithDefaultHandler(path);
  return path;
}

}  // namespace zq
