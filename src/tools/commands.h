// The zq commands. Each takes the arguments after its name and returns the exit code.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace zq::tool {

using CommandArgs = std::vector<std::string>;

int RunList(const CommandArgs& args, std::ostream& out, std::ostream& err);
int RunVerify(const CommandArgs& args, std::ostream& out, std::ostream& err);
int RunExtract(const CommandArgs& args, std::ostream& out, std::ostream& err);
int RunInfo(const CommandArgs& args, std::ostream& out, std::ostream& err);
int RunLang(const CommandArgs& args, std::ostream& out, std::ostream& err);
int RunLog(const CommandArgs& args, std::ostream& out, std::ostream& err);
int RunBuild(const CommandArgs& args, std::ostream& out, std::ostream& err);
int RunScript(const CommandArgs& args, std::ostream& out, std::ostream& err);
int RunPak(const CommandArgs& args, std::ostream& out, std::ostream& err);
int RunVfs(const CommandArgs& args, std::ostream& out, std::ostream& err);

// The whole tool: argv without the program name.
int RunZq(const CommandArgs& argv, std::ostream& out, std::ostream& err);

}  // namespace zq::tool
