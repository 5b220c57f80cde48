// The archive update procedures the script's archive commands hand their work to. The archive
// subsystem provides them; without it the commands log that they were passed over.
#pragma once

#include <cstdint>
#include <string>

namespace zq {

class ArchiveProcedures {
 public:
  virtual ~ArchiveProcedures() = default;
  virtual void UpdatePackage(std::uint16_t group, const std::string& package, const std::string& password) = 0;
  virtual void SetPackageOfficial(const std::string& package, const std::string& word, const std::string& flag) = 0;
  virtual void DuplicateMember(const std::string& package, const std::string& existing, const std::string& name) = 0;
  virtual void UpdateVFS(std::uint16_t group, const std::string& archive, bool close) = 0;
  // The run's lines are done: an archive still open is saved (`keep`) or rolled back, before
  // the run commits or is undone.
  virtual void EndOfRun(bool keep) = 0;
};

}  // namespace zq
