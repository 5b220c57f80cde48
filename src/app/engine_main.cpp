#include "app/engine_main.h"

#include <cstdio>
#include <optional>

#include "engine/command_line.h"
#include "app/run_log.h"
#include "app/startup.h"
#include "engine/archive_updater.h"
#include "engine/setup_context.h"
#include "engine/error_log.h"
#include "frontend/headless/headless_front_end.h"
#include "platform/files.h"
#include "platform/text.h"

#ifdef _WIN32
#include <memory>

#include "frontend/win32/main_window.h"
#endif

namespace zq {

namespace {

// /? shows the usage; a command line that cannot be read is refused before anything else
// happens, so a deployment tool that passes another installer's switches gets exit code 3 at
// once instead of a wizard that waits for a click.
std::optional<int> HelpOrRefusal(SetupContext& ctx, const EngineOptions& options) {
  if (!options.help && options.problems.empty()) return std::nullopt;
  std::string text;
  for (const std::string& problem : options.problems) text += "zqsetup: " + problem + "\n";
  text += EngineUsage();
  std::fputs(text.c_str(), options.problems.empty() ? stdout : stderr);
  for (const std::string& problem : options.problems) ctx.Services.LogLine("command line: " + problem);
  ctx.Services.ShowMessageBox(platform::Utf8ToWide(text), u"Setup",
                              options.problems.empty() ? kMbOk : kMbOk | kMbIconError);
  return options.problems.empty() ? kExitInstalled : kExitRefused;
}

}  // namespace

int EngineMain(const std::vector<std::string>& args) {
  SetupContext ctx;
  // The archive updates of the script; an archive still open at the end is saved when this
  // goes, before the exit code is taken.
  ArchiveUpdater archives(ctx);
  ctx.Services.Archives = &archives;
  const EngineOptions options = ParseEngineCommandLine(args);
  RunLog log;
  if (options.log_file) {
    if (log.Open(*options.log_file)) {
      ctx.Services.RunLog = [&log](const std::string& line) { log.Write(line); };
    } else {
      std::fprintf(stderr, "zqsetup: cannot write the log %s\n", options.log_file->c_str());
    }
  }
  StartupEnvironment env;
  env.program_path = platform::ExecutablePath();
  env.arguments = args;
  env.report_error = [&args](SetupContext& c, const std::string& message, const std::string& stage) {
    c.Services.LogLine("internal error" + (stage.empty() ? std::string() : " (" + stage + ")") + ": " + message);
    std::fprintf(stderr, "zqsetup: %s\n", message.c_str());
    try {
      const std::string report = WriteErrorLog(c, message, stage, args);
      c.Services.LogLine("error report " + report);
    } catch (const std::exception& e) {
      c.Services.LogLine(std::string("the error report could not be written: ") + e.what());
    }
  };
  ctx.Services.FatalError = [&ctx, &env](const std::string& message, const std::string& stage) {
    env.report_error(ctx, message, stage);
  };
  ctx.Choices.Silent = options.silent;
#ifdef _WIN32
  // Without /S a setup shows its windows: the verification window, then the wizard.
  std::unique_ptr<FrontEnd> front_end;
  if (options.silent) {
    front_end = std::make_unique<HeadlessFrontEnd>(ctx, options, env.program_path);
  } else {
    front_end = std::make_unique<TFrmMain>(ctx, options, env.program_path);
  }
  ctx.Services.Messages = front_end.get();
  const std::optional<int> early = HelpOrRefusal(ctx, options);
  const int code = early ? *early : RunEngine(ctx, *front_end, env);
#else
  HeadlessFrontEnd front_end(ctx, options, env.program_path);
  ctx.Services.Messages = &front_end;
  const std::optional<int> early = HelpOrRefusal(ctx, options);
  const int code = early ? *early : RunEngine(ctx, front_end, env);
#endif
  ctx.Services.LogLine("exit code " + std::to_string(code));
  return code;
}

}  // namespace zq
