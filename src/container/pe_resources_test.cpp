#include "container/pe_resources.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/byte_io.h"
#include "container/program_resources.h"
#include "support/small_pe.h"

namespace zq {
namespace {

using Bytes = std::vector<std::uint8_t>;

using test::AddPeSection;
using test::kPeOptional;
using test::kPeSections;

std::uint32_t U32At(const Bytes& b, std::size_t at) { return GetU32(&b[at]); }
std::uint16_t SectionCount(const Bytes& b) { return test::PeSectionCount(b); }
void Put16At(Bytes& b, std::size_t at, std::uint16_t v) { test::PeSet16(b, at, v); }
Bytes Image() { return test::SmallPe(); }

PeResource Resource(std::uint16_t type, ResourceName name, std::uint16_t language, std::size_t size,
                    std::uint8_t fill) {
  return {{type, {}}, std::move(name), language, 0, Bytes(size, fill)};
}

std::vector<PeResource> Sample(std::uint8_t fill) {
  return {Resource(kRtGroupIcon, {0, u"MAINICON"}, 0, 20, fill),
          Resource(kRtIcon, {1, {}}, 0, 300, fill),
          Resource(kRtIcon, {2, {}}, 0, 7, fill),
          Resource(kRtManifest, {1, {}}, 0x409, 555, fill),
          Resource(kRtVersion, {1, {}}, 0x409, 93, fill),
          Resource(kRtVersion, {1, {}}, 0x407, 1, fill)};
}

// The tree's order: types ascending, named entries before numbered ones, languages ascending.
std::vector<PeResource> InTreeOrder(const std::vector<PeResource>& r) {
  return {r[2 - 1], r[3 - 1], r[0], r[5], r[4], r[3]};
}

void ExpectSame(const std::vector<PeResource>& got, const std::vector<PeResource>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(got[i].type, want[i].type);
    EXPECT_EQ(got[i].name, want[i].name);
    EXPECT_EQ(got[i].language, want[i].language);
    EXPECT_EQ(got[i].data, want[i].data);
  }
}

TEST(PeResources, WrittenTreesReadBackWhereverTheSectionLies) {
  const Bytes overlay = {'P', 'A', 'C', 'K', 0, 1, 2};
  const struct {
    const char* name;
    std::function<void(Bytes&)> prepare;
    int added_sections;  // by the write
  } cases[] = {
      {"no resource section", [](Bytes&) {}, 1},
      {"resources in the last section, rewritten in place",
       [](Bytes& b) { ASSERT_TRUE(WritePeResources(b, Sample(1))); }, 0},
      {"resources followed by another section",
       [](Bytes& b) {
         ASSERT_TRUE(WritePeResources(b, Sample(1)));
         AddPeSection(b, ".reloc", Bytes(0x80, 0xEE));
       },
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes image = Image();
    c.prepare(image);
    const Bytes before = image;
    image.insert(image.end(), overlay.begin(), overlay.end());
    const std::uint16_t sections = SectionCount(image);

    ASSERT_TRUE(WritePeResources(image, Sample(9)));
    auto read = ReadPeResources(image.data(), image.size());
    ASSERT_TRUE(read.has_value());
    ExpectSame(*read, InTreeOrder(Sample(9)));

    EXPECT_EQ(SectionCount(image), sections + c.added_sections);
    const std::size_t last = kPeSections + 40 * (SectionCount(image) - 1);
    const std::uint32_t rva = U32At(image, last + 12), raw = U32At(image, last + 20),
                        raw_size = U32At(image, last + 16);
    EXPECT_EQ(U32At(image, kPeOptional + 96 + 16), rva);  // the resource directory
    EXPECT_EQ(U32At(image, kPeOptional + 56), (rva + U32At(image, last + 8) + 0xFFF) & ~0xFFFu);  // SizeOfImage
    EXPECT_EQ(U32At(image, kPeOptional + 64), 0u);                                                // CheckSum
    EXPECT_EQ(raw % 0x200, 0u);
    EXPECT_EQ(rva % 0x1000, 0u);
    EXPECT_EQ(Bytes(image.begin() + raw + raw_size, image.end()), overlay);
    // Every other section keeps its bytes where they were.
    const std::size_t kept = c.added_sections ? before.size() : U32At(before, last + 20);
    EXPECT_TRUE(
        std::equal(before.begin() + 0x400, before.begin() + static_cast<std::ptrdiff_t>(kept), image.begin() + 0x400));
  }
}

TEST(PeResources, RefusedImagesStayAsTheyWere) {
  const struct {
    const char* name;
    std::function<void(Bytes&)> damage;
    const char* problem;
  } cases[] = {
      {"not a program", [](Bytes& b) { b[0] = 'X'; }, "not a Windows program"},
      {"signed", [](Bytes& b) { SetU32(&b[kPeOptional + 96 + 32], 0x800), SetU32(&b[kPeOptional + 96 + 36], 16); },
       "signed"},
      {"no room for a section header",
       [](Bytes& b) {
         SetU32(&b[kPeOptional + 60], kPeSections + 40);  // SizeOfHeaders
         SetU32(&b[kPeSections + 20], kPeSections + 40);
       },
       "no room"},
      {"a section over the headers", [](Bytes& b) { SetU32(&b[kPeSections + 20], 0x100); }, "overlaps the headers"},
      {"a section past the end", [](Bytes& b) { SetU32(&b[kPeSections + 16], 0x10000); }, "past the end"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes image = Image();
    c.damage(image);
    const Bytes before = image;
    std::string problem;
    EXPECT_FALSE(WritePeResources(image, Sample(3), &problem));
    EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
    EXPECT_EQ(image, before);
  }
}

TEST(PeResources, DamagedTreesAreRefusedWhole) {
  Bytes good = Image();
  ASSERT_TRUE(WritePeResources(good, Sample(5)));
  const std::size_t rsrc = U32At(good, kPeSections + 40 + 20);
  const struct {
    const char* name;
    std::function<void(Bytes&)> damage;
  } cases[] = {
      {"directory entries past the section", [&](Bytes& b) { Put16At(b, rsrc + 14, 0xFFFF); }},
      {"a subdirectory that loops to the root", [&](Bytes& b) { SetU32(&b[rsrc + 16 + 4], 0x80000000u); }},
      {"data outside the file",
       [&](Bytes& b) {
         const std::uint32_t root_first = U32At(b, rsrc + 20) & 0x7FFFFFFF;  // type 3's directory
         const std::uint32_t name_first = U32At(b, rsrc + root_first + 20) & 0x7FFFFFFF;
         const std::uint32_t leaf = U32At(b, rsrc + name_first + 20);
         SetU32(&b[rsrc + leaf + 4], 0x7FFFFFFF);
       }},
      {"a directory outside the section", [&](Bytes& b) { SetU32(&b[rsrc + 16 + 4], 0x8FFFFFF0u); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes image = good;
    c.damage(image);
    std::string problem;
    EXPECT_FALSE(ReadPeResources(image.data(), image.size(), &problem).has_value());
    EXPECT_NE(problem.find("damaged"), std::string::npos) << problem;
  }
  auto none = ReadPeResources(Image().data(), Image().size());
  ASSERT_TRUE(none.has_value());
  EXPECT_TRUE(none->empty());
}

Bytes Ico(std::initializer_list<std::pair<std::uint8_t, std::size_t>> images) { return test::IcoFile(images); }

TEST(ProgramResources, TheEngineTakesTheSetupsFactsAndKeepsItsOwnIconName) {
  Bytes image = Image();
  ASSERT_TRUE(WritePeResources(image, {Resource(kRtGroupIcon, {0, u"MAINICON"}, 0, 20, 1),
                                       Resource(kRtIcon, {1, {}}, 0, 40, 1), Resource(kRtIcon, {7, {}}, 0, 40, 1)}));
  ProgramFacts facts{"Demo Product", "1.2.3", "Example Ltd", ExecutionLevel::Highest,
                     Ico({{16, 100}, {32, 200}, {48, 300}})};
  std::string problem;
  ASSERT_TRUE(WriteProgramResources(image, facts, &problem)) << problem;
  auto read = ReadPeResources(image.data(), image.size());
  ASSERT_TRUE(read.has_value());
  const ProgramDescription d = DescribeProgram(*read);
  EXPECT_EQ(d.product_name, "Demo Product");
  EXPECT_EQ(d.version, "1.2.3");
  EXPECT_EQ(d.file_version, "1.2.3.0");  // the fixed part's numbers ("fileversion")
  EXPECT_EQ(d.publisher, "Example Ltd");
  EXPECT_EQ(d.description, "Demo Product Setup");
  EXPECT_EQ(d.level, ExecutionLevel::Highest);
  EXPECT_TRUE(d.has_icon);
  std::vector<std::uint16_t> icons;
  for (const PeResource& r : *read) {
    if (r.type.id == kRtIcon) {
      icons.push_back(r.name.id);
      EXPECT_EQ(r.data, Bytes(100 * r.name.id, static_cast<std::uint8_t>(16 * r.name.id)));
    }
    if (r.type.id == kRtGroupIcon) {
      EXPECT_EQ(r.name.text, u"MAINICON");
      ASSERT_EQ(r.data.size(), 6u + 3 * 14);
      EXPECT_EQ(GetU16(&r.data[4]), 3);
      EXPECT_EQ(r.data[6 + 14], 32);                 // the second image's width
      EXPECT_EQ(GetU32(&r.data[6 + 14 + 8]), 200u);  // and size
      EXPECT_EQ(GetU16(&r.data[6 + 14 + 12]), 2);    // and id
    }
  }
  EXPECT_EQ(icons, (std::vector<std::uint16_t>{1, 2, 3}));  // the engine's images are gone

  // Without an icon, a second build keeps the one there and replaces the rest.
  facts = {"Other", "", "", ExecutionLevel::User, {}};
  ASSERT_TRUE(WriteProgramResources(image, facts));
  read = ReadPeResources(image.data(), image.size());
  ASSERT_TRUE(read.has_value());
  const ProgramDescription again = DescribeProgram(*read);
  EXPECT_EQ(again.product_name, "Other");
  EXPECT_EQ(again.version, "");
  EXPECT_EQ(again.publisher, "");
  EXPECT_EQ(again.level, ExecutionLevel::User);
  EXPECT_EQ(read->size(), 4u + 2u);  // three images and the group, one manifest, one version
}

Bytes Cut(Bytes b, std::size_t size) {
  b.resize(size);
  return b;
}

TEST(ProgramResources, IconFilesAreChecked) {
  const struct {
    const char* name;
    Bytes ico;
    const char* problem;  // "" fine
  } cases[] = {
      {"two images", Ico({{16, 10}, {32, 20}}), ""},
      {"text", Bytes{'h', 'e', 'l', 'l', 'o', '!', '!'}, "not an icon file"},
      {"no image", Ico({}), "holds no image"},
      {"cut inside the directory", Cut(Ico({{16, 10}}), 12), "directory"},
      {"cut inside an image", Cut(Ico({{16, 10}}), 31), "image 1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string problem = IconFileProblem(c.ico);
    if (*c.problem == 0) {
      EXPECT_EQ(problem, "");
    } else {
      EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
    }
  }
  EXPECT_EQ(ParseExecutionLevel("Admin"), ExecutionLevel::Admin);
  EXPECT_EQ(ParseExecutionLevel("HIGHEST"), ExecutionLevel::Highest);
  EXPECT_EQ(ParseExecutionLevel("user"), ExecutionLevel::User);
  EXPECT_FALSE(ParseExecutionLevel("root").has_value());
}

}  // namespace
}  // namespace zq
