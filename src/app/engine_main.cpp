#include "app/engine_main.h"

#include <cstdio>

#include "app/command_line.h"
#include "app/run_log.h"
#include "app/startup.h"
#include "context/setup_context.h"
#include "diagnostics/error_log.h"
#include "frontend/headless/headless_front_end.h"
#include "platform/files.h"

#ifdef _WIN32
#include <memory>

#include "frontend/win32/verify_window.h"
#endif

namespace zq {

int EngineMain(const std::vector<std::string>& args) {
  SetupContext ctx;
  const EngineOptions options = ParseEngineCommandLine(args);
  RunLog log;
  if (options.log_file) {
    if (log.Open(*options.log_file)) {
      ctx.RunLog = [&log](const std::string& line) { log.Write(line); };
    } else {
      std::fprintf(stderr, "zqsetup: cannot write the log %s\n", options.log_file->c_str());
    }
  }
  StartupEnvironment env;
  env.program_path = platform::ExecutablePath();
  env.arguments = args;
  env.report_error = [&args](SetupContext& c, const std::string& message, const std::string& stage) {
    c.LogLine("internal error" + (stage.empty() ? std::string() : " (" + stage + ")") + ": " + message);
    std::fprintf(stderr, "zqsetup: %s\n", message.c_str());
    try {
      const std::string report = WriteErrorLog(c, message, stage, args);
      c.LogLine("error report " + report);
    } catch (const std::exception& e) {
      c.LogLine(std::string("the error report could not be written: ") + e.what());
    }
  };
  ctx.FatalError = [&ctx, &env](const std::string& message, const std::string& stage) {
    env.report_error(ctx, message, stage);
  };
  THeadlessFrontEnd front_end(ctx, options, env.program_path);
  ctx.Messages = &front_end;
#ifdef _WIN32
  // Until the wizard runs windowed, a setup started without /S still shows its verification
  // window and asks its questions for real.
  std::unique_ptr<TFrmVerify> verify_window;
  TWin32MessageBoxes user_boxes;
  if (!options.silent) {
    verify_window = std::make_unique<TFrmVerify>();
    front_end.VerifyView = verify_window.get();
    front_end.UserBoxes = &user_boxes;
  }
#endif
  const int code = RunEngine(ctx, front_end, env);
  ctx.LogLine("exit code " + std::to_string(code));
  return code;
}

}  // namespace zq
