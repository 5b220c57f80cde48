// The page model of ui/ (layouts and their controls), built from the tables and message boxes
// of a SetupContext, hence among the engine's tests.
#include "ui/control_parser.h"

#include <gtest/gtest.h>

#include "ui/page_control.h"
#include "ui/page_error.h"
#include "engine/page_test_support.h"

namespace zq {
namespace {

using test::PageFiles;

// One page built from `layout` (named "page.txt").
struct OnePage : PageFiles {
  explicit OnePage(const std::string& layout) {
    entries["Pages.txt"] = "[Pages]\r\npage.txt\r\n";
    entries["page.txt"] = layout;
  }
  TSEPageControl& Load() {
    pages = std::make_unique<TSEPageControl>(Environment(&view));
    pages->LoadPages("Pages.txt");
    return *pages;
  }
  Control& Named(const std::string& name) {
    Control* c = pages->Area().FindByName(name);
    if (c == nullptr) throw std::runtime_error("no control " + name);
    return *c;
  }
  test::RecordingView view;
  std::unique_ptr<TSEPageControl> pages;
};

TEST(Layout, TypeLinesCommentsAndPropertyKeys) {
  OnePage f(
      "[first]\r\nType=TLabel\r\nleft=10\r\n;Top=112\r\nTop=253\r\nwidth = 99\r\nHEIGHT=20\r\n"
      "[second]\r\nKind=tlAbEl\r\n"
      "[third]\r\nType=TWidget\r\nleft=oops\r\n"
      "[fourth]\r\n"
      "[fifth]\r\ntype TEdit\r\n"
      "[sixth]\r\nType=TBUTTON\r\nleft=3\r\nnonsense\r\nenabled=false\r\n");
  f.Load();
  const Control& first = f.Named("first");
  EXPECT_EQ(first.Type, ControlType::Label);
  EXPECT_EQ(first.Left, 10);
  EXPECT_EQ(first.Top, 253);
  EXPECT_EQ(first.Width, 65);  // "width = 99" has spaces around its key: ignored
  EXPECT_EQ(first.Height, 20);
  EXPECT_EQ(f.Named("second").Type, ControlType::Label);
  // Unknown types, blocks without a type line and type lines without "=" build nothing.
  EXPECT_EQ(f.pages->Area().Controls.size(), 3u);
  EXPECT_EQ(f.Named("sixth").Type, ControlType::Button);
  EXPECT_FALSE(f.Named("sixth").Enabled);
  EXPECT_EQ(f.view.added.size(), 3u);
}

TEST(Layout, CaptionsExpandAndKeepTheirSource) {
  OnePage f(
      "[title]\r\nType=TLabel\r\ncaption=<LANG1><br>now\r\n"
      "[bare]\r\nType=TLabel\r\n"
      "[dir]\r\nType=TEdit\r\ntext=C:\\<%SETUPSHORTTITLE%>\r\n"
      "[blank]\r\nType=TEdit\r\ntext=\r\n"
      "[notes]\r\nType=TMemo\r\ntext=a<br>b <LANG1>\r\n"
      "[box]\r\nType=TPanel\r\ncaption=<LANG1>\r\n"
      "[tree]\r\nType=TShellTreeView\r\ncaption=x\r\n");
  f.Load();
  EXPECT_EQ(f.Named("title").Caption, u"Welcome to Demo Game\rnow");
  EXPECT_EQ(f.Named("title").CaptionSource, u"<LANG1><br>now");
  EXPECT_EQ(f.Named("bare").Caption, u"bare");  // no caption: its own name
  EXPECT_TRUE(f.Named("bare").CaptionSource.empty());
  EXPECT_EQ(f.Named("dir").Caption, u"C:\\Demo");
  EXPECT_EQ(f.Named("blank").Caption, u"");
  EXPECT_EQ(f.Named("notes").Caption, u"a\rb <LANG1>");  // memos: line breaks only
  EXPECT_TRUE(f.Named("notes").CaptionSource.empty());
  EXPECT_EQ(f.Named("box").Caption, u"Welcome to Demo Game");
  EXPECT_TRUE(f.Named("tree").Caption.empty());
}

TEST(Layout, FontsAndBooleans) {
  OnePage f(
      "[a]\r\nType=TLabel\r\nfontface=Tahoma\r\nfontsize=$C\r\nfontbold=TRUE\r\nwordwrap=true\r\nautosize=false\r\n"
      "[b]\r\nType=TLabel\r\nfontbold=true\r\nfontbold=yes\r\nfontcolour=255\r\ntransparent=True\r\n"
      "[c]\r\nType=TButton\r\nfontbold=true\r\n");
  f.Load();
  const Control& a = f.Named("a");
  EXPECT_EQ(a.Font.Face, "Tahoma");
  EXPECT_EQ(a.Font.Size, 12);
  EXPECT_TRUE(a.Font.Bold);
  EXPECT_TRUE(a.Font.ParentFont);
  EXPECT_TRUE(a.WordWrap);
  EXPECT_FALSE(a.AutoSize);
  const Control& b = f.Named("b");
  EXPECT_FALSE(b.Font.Bold);  // a later line overrides; "yes" is not true
  EXPECT_EQ(b.Font.Colour, 255u);
  EXPECT_FALSE(b.Font.ParentFont);
  EXPECT_TRUE(b.Transparent);
  EXPECT_TRUE(b.AutoSize);
  EXPECT_FALSE(f.Named("c").Font.Bold);  // buttons take no font lines
}

TEST(Layout, PicturesTileOnlyAfterTheirFile) {
  OnePage f(
      "[early]\r\nType=TImage\r\ntile=true\r\nfile=side.bmp\r\n"
      "[late]\r\nType=TImage\r\nfile=SIDE.BMP\r\ntile=TRUE\r\nstretch=true\r\ncenter=true\r\n"
      "[missing]\r\nType=TImage\r\nfile=none.jpg\r\ntile=true\r\n");
  f.entries["side.bmp"] = "BMxxxx";
  f.Load();
  EXPECT_TRUE(f.Named("early").PictureLoaded());
  EXPECT_FALSE(f.Named("early").Tile);
  const Control& late = f.Named("late");
  EXPECT_TRUE(late.Tile);
  EXPECT_TRUE(late.Stretch);
  EXPECT_TRUE(late.Center);
  EXPECT_EQ(late.File, "SIDE.BMP");
  EXPECT_EQ(late.FileData.size(), 6u);
  EXPECT_FALSE(f.Named("missing").PictureLoaded());
  EXPECT_FALSE(f.Named("missing").Tile);
  EXPECT_TRUE(f.boxes.shown.empty());  // a missing picture is silent
}

TEST(Layout, RichEditsLoadTheirFileThroughPlaceholders) {
  OnePage f(
      "[log]\r\nType=TRichEdit\r\ntext=gone\r\nfile=<%CHANGELOG%>\r\nborder=false\r\n"
      "[plain]\r\nType=TRichEdit\r\nfile=notes.txt\r\n"
      "[lost]\r\nType=TRichEdit\r\nfile=lost.rtf\r\n");
  f.ctx.SetupToLoad().SetupInfo.Changelog = "changes.rtf";
  f.entries["changes.rtf"] = "{\\rtf1 hello}";
  f.entries["notes.txt"] = "line one\r\nline two";
  f.Load();
  const Control& log = f.Named("log");
  EXPECT_TRUE(log.RichText);
  EXPECT_EQ(log.File, "changes.rtf");
  EXPECT_TRUE(log.Caption.empty());
  EXPECT_FALSE(log.Border);
  EXPECT_EQ(f.Named("plain").Caption, u"line one\r\nline two");
  EXPECT_FALSE(f.Named("plain").RichText);
  ASSERT_EQ(f.boxes.shown.size(), 1u);
  EXPECT_EQ(std::get<0>(f.boxes.shown[0]), u"Error: File \"lost.rtf\" Missing");
  EXPECT_EQ(std::get<1>(f.boxes.shown[0]), u"Rich Edit Error");
}

TEST(Layout, CheckBoxesAndRadioButtons) {
  OnePage f(
      "[agree]\r\nType=TCheckBox\r\ncaption=<LANG1> now\r\nchecked=TRUE\r\nfontbold=true\r\nfontsize=10\r\n"
      "[plain]\r\nType=tcheckbox\r\nchecked=yes\r\ngroup=4\r\n"
      "[a]\r\nType=TRadioButton\r\ngroup=1\r\nchecked=true\r\n"
      "[b]\r\nType=TRadioButton\r\ngroup=1\r\nchecked=true\r\n"
      "[c]\r\nType=TRadioButton\r\ngroup=2\r\nchecked=true\r\n");
  f.Load();
  const Control& agree = f.Named("agree");
  EXPECT_EQ(agree.Type, ControlType::CheckBox);
  EXPECT_EQ(agree.CaptionSource, u"<LANG1> now");
  EXPECT_EQ(agree.Caption, u"Welcome to Demo Game now");
  EXPECT_TRUE(agree.Checked);
  EXPECT_TRUE(agree.Font.Bold);
  EXPECT_EQ(agree.Font.Size, 10);
  // Without a caption a box shows its name; "yes" is no boolean; only radio buttons have groups.
  EXPECT_EQ(f.Named("plain").Caption, u"plain");
  EXPECT_FALSE(f.Named("plain").Checked);
  EXPECT_EQ(f.Named("plain").Group, 0);
  // A later checked radio button of the group clears the earlier one; another group keeps its own.
  EXPECT_FALSE(f.Named("a").Checked);
  EXPECT_TRUE(f.Named("b").Checked);
  EXPECT_TRUE(f.Named("c").Checked);
  TControlParser& page = f.pages->Page(0);
  page.SetChecked(f.Named("a"), false);  // a radio button is only ever checked by a click
  EXPECT_TRUE(f.Named("a").Checked);
  EXPECT_FALSE(f.Named("b").Checked);
  EXPECT_TRUE(f.Named("c").Checked);
  page.SetChecked(f.Named("agree"), false);
  EXPECT_FALSE(agree.Checked);
  // A suppressed control stays hidden when its page is shown.
  f.Named("c").Suppressed = true;
  f.pages->ShowPage(0);
  EXPECT_FALSE(f.Named("c").Visible);
  EXPECT_TRUE(f.Named("b").Visible);
}

TEST(Layout, GaugeColours) {
  OnePage f("[bar]\r\nType=TProgressBar\r\nforecolour=$C06020\r\nbackcolour=15790320\r\n");
  f.Load();
  const TGradGauge& g = f.Named("bar").Gauge;
  EXPECT_EQ(g.Color1(), 0xC06020u);
  EXPECT_TRUE(g.Solid());
  EXPECT_EQ(g.Backcolor, 15790320u);
}

// The error names the file and the line.
void ExpectPageError(const std::string& layout, const std::string& fragment, std::size_t line) {
  OnePage f(layout);
  try {
    f.Load();
    ADD_FAILURE() << "no error for: " << layout;
  } catch (const PageError& e) {
    EXPECT_EQ(e.File(), "page.txt");
    EXPECT_EQ(e.Line(), line) << e.what();
    EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
  }
}

TEST(Layout, BadNumbersNamesAndTagsEndStartUp) {
  ExpectPageError("[a]\r\nType=TLabel\r\n\r\nleft=12px\r\n", "\"12px\" is not an integer", 4);
  ExpectPageError("[a]\r\nType=TLabel\r\nfontsize=\r\n", "not an integer", 3);
  ExpectPageError("[a]\r\nType=TProgressBar\r\nforecolour=#FF0000\r\n", "not an integer", 3);
  ExpectPageError("[1st]\r\nType=TLabel\r\n", "invalid control name \"1st\"", 1);
  ExpectPageError("[x]\r\nType=TLabel\r\n[my-label]\r\nType=TEdit\r\n", "invalid control name", 3);
  ExpectPageError("[Title]\r\nType=TLabel\r\n[TITLE]\r\nType=TPanel\r\n", "already exists", 3);
  ExpectPageError("[a]\r\nType=TLabel\r\ncaption=<LANG5\r\n", "bad language tag", 3);
  // The same checks do not touch blocks that build nothing, nor empty names.
  OnePage ok(
      "[1st]\r\nType=TNothing\r\n[]\r\nType=TLabel\r\n[]\r\nType=TLabel\r\n[a]\r\nType=TImage\r\nfontsize=x\r\n");
  EXPECT_NO_THROW(ok.Load());
  EXPECT_EQ(ok.pages->Area().Controls.size(), 3u);
}

TEST(Layout, NamesAreUniqueAcrossPages) {
  PageFiles f;
  f.entries["Pages.txt"] = "[Pages]\r\none.txt\r\ntwo.txt\r\n";
  f.entries["one.txt"] = "[finishtext]\r\nType=TLabel\r\n";
  f.entries["two.txt"] = "[FinishText]\r\nType=TLabel\r\n";
  TSEPageControl pages(f.Environment());
  EXPECT_THROW(pages.LoadPages("Pages.txt"), PageError);
}

}  // namespace
}  // namespace zq
