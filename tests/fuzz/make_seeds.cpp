// Writes the seed files of the binary formats with the project's own writers: a setup made by
// the builder, its records, an uninstall log, package and VFS archives made by the updates the
// engine runs (one package with the journal an interrupted update leaves), and wave members.
// tests/fuzz/make_seeds.sh runs it and adds the text seeds (tables, pages, scripts).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archives/journal.h"
#include "archives/memory_file_system.h"
#include "archives/pak_system.h"
#include "archives/vfs.h"
#include "archives/wave_container.h"
#include "container/program_resources.h"
#include "support/small_pe.h"
#include "base/byte_io.h"
#include "builder/package_writer.h"
#include "builder/script_compiler.h"
#include "container/entry_names.h"
#include "uninstall/uninstall_list.h"

namespace {

using zq::Bytes;
namespace fs = std::filesystem;

std::string g_out;

void Seed(const std::string& target, const std::string& name, const Bytes& bytes) {
  fs::create_directories(g_out + "/" + target);
  std::ofstream(g_out + "/" + target + "/" + name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A u16 length, that many bytes of a side file, then the archive: the archive targets' input.
Bytes WithSide(const Bytes& side, const Bytes& archive) {
  Bytes out;
  zq::PutU16(out, static_cast<std::uint16_t>(side.size()));
  out.insert(out.end(), side.begin(), side.end());
  out.insert(out.end(), archive.begin(), archive.end());
  return out;
}

// A canonical 16-bit PCM wave of `samples` frames, with a cue chunk of two points when asked.
Bytes Wave(std::uint16_t channels, std::uint32_t samples, bool cue) {
  const std::uint32_t data_size = samples * channels * 2;
  Bytes w;
  zq::PutText(w, "RIFF");
  zq::PutU32(w, 36 + data_size + (cue ? 60 : 0));
  zq::PutText(w, "WAVEfmt ");
  zq::PutU32(w, 16);
  zq::PutU16(w, 1);
  zq::PutU16(w, channels);
  zq::PutU32(w, 22050);
  zq::PutU32(w, 22050u * channels * 2);
  zq::PutU16(w, static_cast<std::uint16_t>(channels * 2));
  zq::PutU16(w, 16);
  zq::PutText(w, "data");
  zq::PutU32(w, data_size);
  for (std::uint32_t i = 0; i < samples * channels; ++i)
    zq::PutU16(w, static_cast<std::uint16_t>((i * 2654435761u) >> 20));
  if (cue) {
    zq::PutText(w, "cue ");
    zq::PutU32(w, 52);
    zq::PutU32(w, 2);
    for (std::uint32_t point = 0; point < 2; ++point) {
      zq::PutU32(w, point);
      zq::PutU32(w, point == 0 ? 4 : samples - 4);
      w.resize(w.size() + 16, 0);
    }
  }
  return w;
}

void SetupSeeds(const std::string& work) {
  const std::string script =
      "name \"Fuzz Product 1.0\"\nshortname Fuzz\noutfile FuzzSetup.exe\ninstalldir \"$PROGRAMFILES\\Fuzz\"\n"
      "installdirregkey HKCU \"Software\\Fuzz\" InstallDir\nprefix Fuzz\n"
      "message \"<LANG21>\"\nfile payload\niffileexists \"$INSTDIR\\a.txt\" ok broken\n:broken\nfailure\n:ok\n"
      "writeregstr HKCU \"Software\\Fuzz\" Version 1.0\nmessage Done\n";
  fs::create_directories(work + "/payload");
  std::ofstream(work + "/payload/a.txt") << "alpha alpha alpha alpha alpha alpha\n";
  std::ofstream(work + "/payload/b.bin") << "\x01\x7f\x33";
  auto compiled = zq::builder::CompileSource(script, work + "/setup.zqs", {});
  Seed("setup_info", "seed-setup", compiled.info.Serialize());
  Seed("comp_lines", "seed-setup", compiled.lines.Serialize());
  zq::TSetupInfoFile uninstaller = compiled.info;
  uninstaller.Mode = SetupMode::Uninstaller;
  uninstaller.HasUninstaller = 1;
  uninstaller.UninstallPages = "uninstall";
  Seed("setup_info", "seed-uninstaller", uninstaller.Serialize());

  auto entries = compiled.entries;
  entries.push_back({"Pages.txt", 0, {}, Text("[Pages]\r\nwelcome.txt\r\n[PageTypes]\r\nwelcome\r\n")});
  entries.push_back({"welcome.txt", 0, {}, Text("[title]\r\nType=TLabel\r\ncaption=<LANG1>\r\n")});
  std::ofstream(work + "/stub", std::ios::binary) << "MZ fuzz stub: any bytes stand for the engine program\n";
  const std::string setup = work + "/setup.exe";
  if (const std::string problem = zq::builder::WriteSetup(setup, work + "/stub", entries, {}); !problem.empty()) {
    std::fprintf(stderr, "make_seeds: %s\n", problem.c_str());
    std::exit(1);
  }
  std::ifstream in(setup, std::ios::binary);
  Seed("container", "seed-setup", Bytes(std::istreambuf_iterator<char>(in), {}));
}

void UninstallSeeds() {
  zq::TUninstallList log;
  log.AddFile("$INSTDIR\\a.txt");
  log.AddFile("$INSTDIR\\data\\b.bin");
  log.AddRegValue(zq::TUninstallList::RegValueLine("HKCU", "Software\\Fuzz", "Version", "1.0"));
  log.AddDir("$INSTDIR\\data");
  log.AddDir("$INSTDIR");
  Seed("uninstall_log", "seed-log", log.Serialize());
}

void PakSeeds() {
  const std::string path = "game.zqp";
  zq::test::MemoryFileSystem mem;
  zq::TExtraInfo extra;
  extra.Password = "Fuzz2024";
  extra.HasPassword = true;
  mem.Files[path] = zq::PakDirectoryBytes({}, extra);
  {
    zq::TPakSystem pak(mem);
    pak.OpenArchive(path);
    pak.BeginUpdate();
    const Bytes text = Text("[map]\nsize=64\nsize=64\nsize=64\n");
    pak.AddMember("maps\\one.txt", static_cast<std::uint32_t>(text.size()), text);
    const Bytes wave = Wave(1, 96, false);
    pak.AddMember("sounds\\theme.wav", static_cast<std::uint32_t>(wave.size()), wave);
    pak.DuplicateMember("sounds\\theme.wav", "sounds\\menu.wav");
    pak.WritePackageDirectory();
  }
  const Bytes v3 = mem.Files[path];
  Seed("pak_archive", "seed-v3", WithSide({}, v3));
  // The same directory under a version 2 trailer, and under none.
  zq::TPakSystem read(mem);
  read.OpenArchive(path);
  const Bytes plain = zq::PakDirectoryBytes(read.Records(), {});
  const std::size_t v3_trailer = 4 + 2 + 4 + 1 + 1 + 2 + 0 + 1;
  Bytes bare(v3.begin(), v3.begin() + static_cast<std::ptrdiff_t>(read.DataEnd));
  bare.insert(bare.end(), plain.begin(), plain.end() - static_cast<std::ptrdiff_t>(v3_trailer));
  Seed("pak_archive", "seed-none", WithSide({}, bare));
  Bytes v2 = bare;
  zq::PutText(v2, "ZQP2Fuzz2024\0");
  v2.resize(bare.size() + 13);
  Seed("pak_archive", "seed-v2", WithSide({}, v2));
  // An update interrupted after its journal began: the journal lies beside the package.
  mem.FaultAt = mem.Changes + 4;
  try {
    zq::TPakSystem pak(mem);
    pak.OpenArchive(path);
    pak.BeginUpdate();
    const Bytes text = Text("changed\n");
    pak.AddMember("maps\\one.txt", static_cast<std::uint32_t>(text.size()), text);
    pak.WritePackageDirectory();
  } catch (const zq::test::SimulatedCrash&) {
  }
  const std::string journal = zq::ArchiveJournal::PathFor(path);
  if (mem.Files.count(journal) != 0) Seed("pak_archive", "seed-journal", WithSide(mem.Files[journal], mem.Files[path]));
}

void VfsSeeds() {
  const std::string path = "world.vfs";
  zq::test::MemoryFileSystem mem;
  mem.Files[path] = zq::NewVfsArchive(64, 24, 4, "fuzz world");
  Seed("vfs", "seed-empty", WithSide({}, mem.Files[path]));
  zq::TVFSFile vfs(mem);
  vfs.Open(path, true);
  const std::string level = "tiles tiles tiles tiles tiles tiles tiles tiles tiles tiles tiles tiles\n";
  vfs.Tree->AddFile("Levels\\One\\map.txt", reinterpret_cast<const std::uint8_t*>(level.data()),
                    static_cast<std::uint32_t>(level.size()));
  const std::uint8_t raw[] = {1, 2, 3, 5, 8, 13, 21, 34};
  vfs.Tree->AddFile("notes.bin", raw, sizeof raw);
  vfs.SaveHeader(false);
  vfs.Close();
  Seed("vfs", "seed-tree", WithSide(mem.Files[zq::TVFSFile::HashFilePath(path)], mem.Files[path]));
}

void WaveSeeds() {
  Seed("wave", "seed-mono", Wave(1, 64, false));
  Seed("wave", "seed-stereo", Wave(2, 48, false));
  Seed("wave", "seed-cue", Wave(1, 32, true));
  Seed("wave", "seed-adpcm", *zq::BuildWaveContainer("sounds\\theme.wav", Wave(2, 1100, false)));
  Seed("wave", "seed-pcm-container", *zq::BuildWaveContainer("sounds\\Effects\\hit.wav", Wave(1, 40, false)));
}

// Programs with resource trees: one the builder wrote (manifest, version, an icon of two
// images), one whose tree is followed by another section.
void ProgramSeeds() {
  for (bool section_after : {false, true}) {
    Bytes image = zq::test::SmallPe();
    zq::ProgramFacts facts{"Fuzz", "1.2.3.4", "Seeds", zq::ExecutionLevel::User,
                           zq::test::IcoFile({{16, 40}, {32, 60}})};
    zq::WriteProgramResources(image, facts);
    if (section_after) zq::test::AddPeSection(image, ".reloc", Bytes(64, 0xEE));
    Seed("pe_resources", section_after ? "seed-section-after" : "seed-program", image);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_seeds CORPUS_DIR SCRATCH_DIR\n");
    return 2;
  }
  g_out = argv[1];
  SetupSeeds(argv[2]);
  UninstallSeeds();
  PakSeeds();
  VfsSeeds();
  WaveSeeds();
  ProgramSeeds();
  return 0;
}
