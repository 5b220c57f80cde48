// The error report: when an exception escapes a top-level stage, a text file in the
// temporary folder describing the setup, the error and the system, which the user is
// asked to send with the bug report.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zq {

class SetupContext;

// Everything the report shows, gathered beforehand so that the text is a pure function of it.
struct ErrorReport {
  std::string SetupName;
  std::string SetupExeName;
  std::string PakID;  // the container's four ID characters; empty without a container
  std::string PakVersion;
  std::string PakFileCount;
  std::string Stage;
  std::string Message;
  std::vector<std::string> Params;  // the program's arguments, without its own name
  std::string Product;              // version name, " ", edition
  std::uint32_t BuildNumber = 0;
  std::string ServicePack;
  std::uint16_t ServicePackMajor = 0;
  std::uint16_t ServicePackMinor = 0;
  std::uint64_t PhysicalMemory = 0;  // bytes
  std::uint32_t CpuMhz = 0;
};

// "Unknown" for the empty stage of the outer handlers.
std::string ErrorType(const std::string& stage);
// The arguments joined by spaces, with "/J" and the two arguments after it masked.
std::string MaskedParams(const std::vector<std::string>& params);
// The report's text, lines ending in CR LF.
std::string ErrorReportText(const ErrorReport& report);
// The first "ErrorLogNNNN.TXT" in `folder` (with or without a trailing backslash) that does not exist.
std::string NextErrorLogPath(const std::string& folder);
// Writes `text` to the next free report file and returns its path; zq::Error
// when the file cannot be written.
std::string WriteErrorLogFile(const std::string& folder, const std::string& text);
// The text of the "Error Report" box.
std::u16string ErrorReportBoxText(const std::string& stage, const std::string& message, const std::string& path);

// What WriteErrorLog takes from the system, replaceable for tests; an empty member keeps
// the system's own.
struct ErrorLogSystem {
  std::string Folder;                                     // platform::TempDir()
  std::function<std::uint32_t()> CpuSpeedMhz;             // MeasureCpuSpeedMhz, about a second
  std::function<void(const std::string& path)> OpenFile;  // platform::OpenWithDefaultHandler
};

// Gathers the report from the context and the system, writes it to the temporary folder,
// shows the "Error Report" box through the context, then opens the report. Returns its path.
// A file error propagates as zq::Error.
std::string WriteErrorLog(SetupContext& ctx, const std::string& message, const std::string& stage,
                          const std::vector<std::string>& params, const ErrorLogSystem& system = {});

}  // namespace zq
