// Signing a setup and its uninstaller with the author's own command (`zq build --sign`): the
// builder makes the uninstaller at build time, signs it, carries it in the package, and signs
// the setup last, so that both files the user runs carry the author's signature.
#pragma once

#include <string>

#include "builder/script_compiler.h"
#include "builder/package_writer.h"

namespace zq::builder {

// "" when `command` names both "{in}" and "{out}", else what it lacks.
std::string SignCommandProblem(const std::string& command);

// Runs `command` with "{in}" and "{out}" replaced by the quoted paths and checks that it ended
// with 0 and wrote `out` as a program whose package still reads whole. "" when it did, else what
// went wrong (a partial `out` is removed).
std::string SignFile(const std::string& command, const std::string& in, const std::string& out);

// Writes to `path` the uninstaller the engine would make at install time: the stub with the
// setup's resources (and the uninstaller's icon), then a package of the "UNINSTALL_" entries
// under their plain names and a setup record marked as an uninstaller whose installation folder
// is empty, so that the uninstaller takes the folder it is started from. "" when written.
std::string WriteUninstallerAtBuild(const std::string& path, const std::string& stub, const CompileResult& compiled,
                                    const WriteOptions& options);

// Writes the setup as WriteSetup does, signed by `command`; with an uninstaller, that is made
// and signed first and carried as the entry kSignedUninstallerEntry. The temporaries beside
// `output` are removed whatever happens; `output` is replaced only by a signed setup whose
// package reads whole. "" when done.
std::string WriteSignedSetup(const std::string& output, const std::string& stub, const CompileResult& compiled,
                             const WriteOptions& options, const std::string& command);

}  // namespace zq::builder
