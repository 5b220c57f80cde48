#include "builder/builder.h"

#include "builder/build_paths.h"
#include "builder/package_writer.h"
#include "builder/preprocessor.h"
#include "builder/script_compiler.h"
#include "builder/signing.h"
#include "builder/text_encoding.h"
#include "platform/files.h"
#include "platform/text.h"

namespace zq::builder {

std::string DefaultOutput(const std::string& script, const std::string& setup_exe_name) {
  const std::string dir = DirName(script);
  if (!setup_exe_name.empty()) return Join(dir, setup_exe_name);
  std::string base = BaseName(script);
  if (auto dot = base.find_last_of('.'); dot != std::string::npos && dot > 0) base.erase(dot);
  return Join(dir, base + ".exe");
}

BuildResult BuildSetup(const BuildOptions& options) {
  CompileOptions compile;
  compile.stock_language_dirs = options.stock_language_dirs ? *options.stock_language_dirs : StockLanguageDirs();
  compile.stock_page_dirs = options.stock_page_dirs ? *options.stock_page_dirs : StockPageDirs();
  compile.finaliser = options.finaliser;
  compile.uninstall_icon = options.uninstall_icon;
  // Without --stub the engine follows the script: an x64 script gets the 64-bit engine where
  // one is beside zq. The finaliser is the one built with the engine.
  const std::string stub32 = options.stub.empty() ? FindSiblingStub(false) : options.stub;
  const std::string stub64 = options.stub.empty() ? FindSiblingStub(true) : options.stub;
  if (!stub32.empty()) compile.default_finaliser = FinaliserOfStub(stub32);
  if (!stub64.empty()) compile.default_finaliser_x64 = FinaliserOfStub(stub64);
  PreprocessedScript source = PreprocessScript(options.script, options.defines);
  if (source.diagnostics.HasErrors()) {
    // The compiler would only repeat them: a line left out leaves its labels unknown.
    BuildResult result;
    result.output = options.output.empty() ? DefaultOutput(options.script, "") : options.output;
    result.diagnostics = source.diagnostics.All();
    return result;
  }
  compile.origins = std::move(source.origins);
  CompileResult compiled = CompileSource(source.text, options.script, compile);
  Diagnostics& diags = compiled.diagnostics;
  const std::string stub = compiled.program.run.Arch == Architecture::X64 ? stub64 : stub32;

  BuildResult result;
  result.output = options.output.empty() ? DefaultOutput(options.script, compiled.info.SetupExeName) : options.output;
  const std::string out_name = BaseName(result.output);
  if (compiled.info.SetupExeName.empty()) {
    // The engine refuses to start under any name but this one.
    SetSetupExeName(compiled, out_name);
  } else if (platform::LowerCase(BaseName(compiled.info.SetupExeName)) != platform::LowerCase(out_name)) {
    diags.Warning(options.script, 0,
                  "the output is named \"" + out_name + "\" but outfile says \"" + compiled.info.SetupExeName +
                      "\": the setup refuses to start under another name than its outfile");
  }

  if (stub.empty()) {
    diags.Error("", 0, "no engine program (zqsetup.exe) beside zq; name one with --stub");
  } else if (const std::string lower = platform::LowerCase(result.output);
             lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".exe") == 0) {
    char head[2] = {};
    platform::File in;
    if (in.Open(stub, platform::OpenMode::ReadShared) && (in.Read(head, 2) != 2 || head[0] != 'M' || head[1] != 'Z')) {
      diags.Warning(stub, 0,
                    "the engine program is not a Windows program, but the output \"" + out_name +
                        "\" is named like one: it does not start on Windows");
    }
  }
  SettleTextEncoding(compiled);
  if (!options.sign.empty()) {
    if (std::string problem = SignCommandProblem(options.sign); !problem.empty()) diags.Error("", 0, problem);
  }
  if (!diags.HasErrors()) {
    WriteOptions write;
    write.threads = options.threads;
    write.progress = options.progress;
    write.program = &compiled.program;
    write.solid = compiled.program.solid_compression;
    WriteStats stats;
    write.stats = &stats;
    const std::string problem = options.sign.empty()
                                    ? WriteSetup(result.output, stub, compiled.entries, write)
                                    : WriteSignedSetup(result.output, stub, compiled, write, options.sign);
    if (!problem.empty()) {
      diags.Error(result.output, 0, problem);
    }
    result.source_bytes = stats.source_bytes;
    result.package_bytes = stats.package_bytes;
    result.solid_blocks = stats.solid_blocks;
  }
  result.ok = !diags.HasErrors();
  result.diagnostics = source.diagnostics.All();
  result.diagnostics.insert(result.diagnostics.end(), diags.All().begin(), diags.All().end());
  result.entries = compiled.entries.size();
  result.groups = compiled.group_count;
  return result;
}

}  // namespace zq::builder
