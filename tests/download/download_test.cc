// From a picture to the bytes of a download: colour tables and the planes they give, the preview and
// black-dot columns, the GS 8 L and FS q writes built from the rows, and SendGraphicsData, SendWrites and
// WaitGraphicsProcessed that carry them, against the scripted printer.
#include <gtest/gtest.h>

#include <fstream>
#include <numeric>

#include "download/raster_conversion.h"
#include "download/raster_packets.h"
#include "download/send_wait.h"
#include "shared/pubblic_var.h"
#include "support/link_fixture.h"
#include "support/scripted_ui.h"

namespace zelta::test {
namespace {

void Put(Dib& d, int x, int y, uint32_t colour) {
  for (int i = 0; i < 3; ++i) d.Row(y)[3 * x + i] = static_cast<uint8_t>(colour >> (8 * i));
}

// A w × h picture of one colour with the given dots (x, y, 0xRRGGBB) put on it.
HBitmap Picture(int w, int h, uint32_t colour, std::vector<std::tuple<int, int, uint32_t>> dots = {}) {
  HBitmap d = CreateDib24(w, h);
  FillDib(*d, colour >> 16, (colour >> 8) & 0xFF, colour & 0xFF);
  for (auto [x, y, c] : dots) Put(*d, x, y, c);
  return d;
}

ColorTable Table(const char* text) {
  ColorTable t;
  std::string error;
  EXPECT_EQ(ParseColorTable(text, t, error), ColorTableStatus::kOk) << error;
  return t;
}

const char kTwoColours[] =
    "\"Black\",0,0,0,\"Dot\",1,0,0\r\n\"Red\",255,0,0,\"Red\",0,1,0\r\n"
    "\"White\",255,255,255,\"Paper\",0,0,0\r\n";

// What pic converts to with table t: the converter's planes in sending order, then each plane's rows in
// hex; or "!" and the error.
std::string Converted(const Dib& pic, const ColorTable& t, int32_t code) {
  std::array<std::vector<Bytes>, 3> planes;
  std::string error, out;
  ColorTableConverter c;
  if (!ConvertWithColorTable(pic, t, code, planes, error) || !c.Start(pic, t, code, error))
    return "!" + error;
  out = std::to_string(c.plane_count()) + " planes: " + std::to_string(c.first()) +
        std::to_string(c.second()) + std::to_string(c.third());
  for (const auto& plane : planes) {
    out += " |";
    for (const Bytes& row : plane) out += " " + ToHex(row);
  }
  return out;
}

TEST(ColorTableConversion, TwoColoursSortDarkRedAndGreyColourFlagsChooseThePlanes) {
  // Black, dark red (200, 20, 20) and light grey in the first row, a near black at the end of the second:
  // dot 9 is bit 6 of the second byte; the grey lands on paper.
  HBitmap pic =
      Picture(10, 2, 0xFFFFFF, {{0, 0, 0x000000}, {1, 0, 0xC81414}, {2, 0, 0xDCDCDC}, {9, 1, 0x101010}});
  EXPECT_EQ(Converted(*pic, Table(kTwoColours), 1),
            "2 planes: 01-1 | 80 00 00 40 | 40 00 00 00 | 3F C0 FF 80");
  // In colour, plane 3 is sent first.
  const ColorTable t =
      Table("\"W\",255,255,255,\"\",0,0,0\n\"P\",255,0,255,\"1+3\",1,0,1\n\"G\",0,255,0,\"2\",0,1,0\n");
  EXPECT_EQ(Converted(*Picture(3, 1, 0xFFFFFF, {{0, 0, 0xFF00FF}, {2, 0, 0x00FF00}}), t, 3),
            "3 planes: 210 | 80 | 20 | 80");
}

TEST(ColorTableConversion, UnprintableEntriesFailInsteadOfCrashing) {
  const ColorTable four = Table(
      "\"B\",0,0,0,\"\",1,0,0\n\"R\",255,0,0,\"\",0,1,0\n\"W\",255,255,255,\"\",0,0,0\n"
      "\"Y\",255,255,0,\"\",0,0,0\n");
  EXPECT_EQ(Converted(*Picture(4, 1, 0xFFFF00), four, 2),
            "!Entry 4 of the color table is not a printer color.");
  EXPECT_EQ(Converted(*Picture(4, 1, 0xFFFF00), {}, 2), "!The color table has no entries.");
}

TEST(ColorTableFile, FieldsAndLimits) {
  ColorTable t;
  std::string error;
  for (const char* bad : {"", "\"B\",0,0,0,\"\",1,0", "\"B\",0,0,256,\"\",1,0,0", "\"B\",0,-1,0,\"\",1,0,0",
                          "\"B\",0,x,0,\"\",1,0,0"})
    EXPECT_EQ(ParseColorTable(bad, t, error), ColorTableStatus::kInvalid) << bad;
  EXPECT_EQ(ParseColorTable("\"a, b\",1,2,3,plain,4,5,6\n\n", t, error), ColorTableStatus::kOk) << error;
  ASSERT_EQ(t.palette.size(), 1u);
  EXPECT_EQ(std::tuple(t.palette[0].rgbRed, t.palette[0].rgbBlue, t.plane_flags[0][2]), std::tuple(1, 3, 6));
  std::string many;
  for (int i = 0; i < 126; ++i) many += "\"e\",1,2,3,\"f\",0,0,0\n";
  EXPECT_EQ(ParseColorTable(many, t, error), ColorTableStatus::kInvalid);
  many.erase(many.rfind("\"e\""));
  EXPECT_EQ(ParseColorTable(many, t, error), ColorTableStatus::kOk);
  EXPECT_EQ(t.palette.size(), 125u);
}

TEST(ReadLogoColorTable, MessagesForMissingAndBadFiles) {
  ScriptedUi ui;
  AppFolder = ::testing::TempDir();
  std::ofstream(AppFolder + "bad.txt") << "\"B\",0,0,0\n";
  std::ofstream(AppFolder + "good.txt") << kTwoColours;
  ColorTable t;
  std::vector<bool> read;
  for (const char* file : {"", "missing.txt", "bad.txt", "good.txt"})
    read.push_back(ReadLogoColorTable(file, t));
  EXPECT_EQ(read, (std::vector{false, false, false, true}));
  EXPECT_EQ(ui.messages,
            (std::vector<std::string>{
                "Raise file error.\r\nMissing color table file(s). Please check the files and their paths.",
                "Raise error on read color table file <missing.txt>\r\nCheck the file and the path.",
                "Raise error on read color table file <bad.txt>\r\nThe color table has an entry without 8 "
                "fields.\r\nCheck the file and the path."}));
  ResetPubblicVar();
}

TEST(BlackDotConversion, OnlyExactBlackAndPaddedColumns) {
  // (1, 0, 0) in column 1 is not black.
  HBitmap pic = Picture(3, 10, 0xFFFFFF, {{0, 0, 0}, {0, 9, 0}, {1, 0, 0x010000}, {2, 8, 0}});
  EXPECT_EQ((std::vector{BlackDotColumn(*pic, 0), BlackDotColumn(*pic, 1), BlackDotColumn(*pic, 2),
                         BlackDotColumn(*pic, 5)}),
            (std::vector{B({0x80, 0x40}), B({0, 0}), B({0, 0x80}), B({0, 0})}));
}

TEST(PreviewConversion, ExactColoursOfTheDrawnPicture) {
  PictureBox preview;
  preview.inner_w = 10;
  preview.inner_h = 2;
  Cls(preview);
  for (auto [x, c] : {std::pair{0, 0x000000}, {8, 0xFF0000}, {9, 0xFE0000}}) Put(*preview.picture, x, 0, c);
  EXPECT_EQ(std::tuple(PreviewRow(preview, 0, 0x000000), PreviewRow(preview, 0, 0xFF0000),
                       PreviewRow(preview, 1, 0x000000)),
            std::tuple(B({0x80, 0}), B({0, 0x80}), B({0, 0})));
  preview.picture.reset();
  EXPECT_EQ(PreviewRow(preview, 0, 0x000000), B({0, 0})) << "nothing drawn reads as paper";
}

std::vector<Bytes> Rows(int count, int width, char fill) {
  return std::vector<Bytes>(static_cast<size_t>(count), Bytes(static_cast<size_t>(BytesPerRow(width)), fill));
}

TEST(NvRasterWrites, BlackAndWhite576x120) {
  Writes w;
  ASSERT_TRUE(NvRasterWrites("03", 2, 576, 120, {Rows(120, 576, '\x0F')}, w));
  ASSERT_EQ(w.size(), 1u + 1 + 120);
  EXPECT_EQ(w[0], B({29, 56, 76, 203, 33, 0, 0, 48, 67, 48, '0', '3', 1, 64, 2, 120, 0}));
  // N counts everything after p1..p4.
  EXPECT_EQ(std::tuple(w[1], w[2].size(), std::accumulate(w.begin(), w.end(), Bytes()).size()),
            std::tuple(B({49}), 72u, 7u + 8651));
}

TEST(NvRasterWrites, ColourHasSixPlanesByteAndExtraZero) {
  Writes w;
  ASSERT_TRUE(NvRasterWrites("KC", 3, 10, 3, {Rows(3, 10, '3'), Rows(3, 10, '2'), Rows(3, 10, '1')}, w));
  // N = 3 × (2 × 3 + 1) + 11 counts everything after p1..p4; 255, 6 planes and an extra zero.
  ASSERT_EQ(std::pair(w.size(), w[0].size()), std::pair(size_t{13}, size_t{18}));
  EXPECT_EQ(ToHex(std::accumulate(w.begin(), w.end(), Bytes()), 99),
            "1D 38 4C 20 00 00 00 30 FF 30 4B 43 06 0A 00 03 00 00 "
            "31 33 33 33 33 33 33 32 32 32 32 32 32 32 33 31 31 31 31 31 31");
}

TEST(RasterWrites, NarrowWidthsAndBadInput) {
  Writes w;
  EXPECT_EQ(NvRasterWrites("00", 2, 1, 2, {Rows(2, 1, '\x80')}, w) ? w[2].size() : 0, 1u);
  EXPECT_EQ(NvRasterWrites("00", 2, 9, 1, {Rows(1, 9, 0)}, w) ? w[2].size() : 0, 2u);
  EXPECT_FALSE(NvRasterWrites("0", 2, 9, 1, {Rows(1, 9, 0)}, w));
  EXPECT_FALSE(NvRasterWrites("00", 2, 9, 1, {Rows(1, 17, 0)}, w)) << "rows of the wrong length";
  EXPECT_FALSE(NvRasterWrites("00", 2, 9, 2, {Rows(1, 9, 0)}, w)) << "too few rows";
  EXPECT_FALSE(NvRasterWrites("00", 1, 9, 1, {Rows(1, 9, 0)}, w)) << "two colours need two planes";
  EXPECT_EQ(NvRasterWrites("00", 2, 65535, 1, {Rows(1, 65535, 0)}, w) ? w[2].size() : 0, 8192u)
      << "the widest a header holds";
  EXPECT_FALSE(NvRasterWrites("00", 2, 65536, 1, {Rows(1, 65536, 0)}, w));
  EXPECT_TRUE(w.empty());
  EXPECT_FALSE(RasterBitImageWrites(100, {}, w) || PrintBufferBandWrites(576, 49, {}, w)) << "no rows";
}

// An FS q logo of w × h dots: w columns of (h + 7) / 8 bytes.
NvBitImage Columns(int w, int h, char fill = 0) {
  return NvBitImage{
      w, h, std::vector<Bytes>(static_cast<size_t>(w), Bytes(static_cast<size_t>((h + 7) / 8), fill))};
}

TEST(NvBitImageWrites, PaddingColumnsFillTheLastByteOfWidth) {
  NvBitImage a = Columns(100, 50, '\x55');
  Writes w;
  ASSERT_TRUE(NvBitImageWrites({a, Columns(8, 8, '\x01')}, w));
  EXPECT_EQ(std::tuple(w[0], w[1], w[106], w.size()),
            std::tuple(B({28, 113, 2}), B({13, 0, 7, 0}), B({1, 0, 1, 0}), 1u + 1 + 104 + 1 + 8));
  for (int c = 0; c < 104; ++c) ASSERT_EQ(w[2 + c], Bytes(7, c < 100 ? '\x55' : '\0')) << c;
  a.columns.pop_back();
  EXPECT_FALSE(NvBitImageWrites({a}, w));
}

TEST(NvBitImageWrites, LimitsOfTheCommandAreRefusedWithTheReason) {
  for (auto [count, w, h, why] : {
           std::tuple<size_t, int, int, std::string>{1, 8184, 2304, ""},  // no reason: accepted
           {1, 8185, 8, "Logo 1 is 8185 dots wide; the printer takes at most 8184."},
           {1, 8, 2305, "Logo 1 is 2305 dots tall; the printer takes at most 2304."},
           {1, 0, 8, "Logo 1 is empty."},
           {0, 8, 8, "There is no logo to define."},
           {256, 8, 8, "256 logos were chosen; the printer stores at most 255."},
       }) {
    Writes out;
    std::string reason;
    const bool ok = NvBitImageWrites(std::vector<NvBitImage>(count, Columns(w, h)), out, &reason);
    EXPECT_EQ(std::pair(ok, reason), std::pair(why.empty(), why)) << count << " of " << w << "x" << h;
  }
}

const Bytes kData = "ABCDEFGHIJKLMNOPQRST";  // 20 bytes
const char kBusyText[] = "Error sending data: printer busy.\rPlease verify...";
const char kOfflineText[] = "Timeout sending data: printer offline?\rPlease verify...";
const std::string kLostText = "\rExtended error description: Connection to the printer lost.";

class SendWaitTest : public LinkTest {
 protected:
  SendWaitTest() { PrinterModelId = 46; }
  // Each returns its result and keeps it in last.
  int32_t Send(bool wait_on_timeout) {
    SendGraphicsData(kData, wait_on_timeout, last = 12345);
    return last;
  }
  int32_t Wait() {
    WaitGraphicsProcessed(info, last = 12345);
    return last;
  }
  void LoseThePrinter() {
    printer->last_error = {kResultPortClosed, "Connection to the printer lost.", "PortPrinter"};
  }
  // A timed-out write, then a busy object whose DLE EOT 1, 2, 3 are answered with status.
  void TimeOutBusy(std::vector<uint8_t> status) {
    printer->writes.push_back({kResultTimeout, 0});
    printer->busy_default = 1;
    printer->on_write = [this, status](const Bytes& bytes, int32_t) {
      for (size_t n = 1; n <= status.size(); ++n)
        if (bytes == B({16, 4, static_cast<int>(n)})) printer->QueueByte(status[n - 1]);
    };
  }
  // Status panels 1 and 2, the releases of the printer and the error number of the wait.
  std::tuple<std::string, std::string, int, int32_t> After() {
    return {form.StatusPanelText(1), form.StatusPanelText(2), printer->releases, info.Number};
  }
  PrinterErrorInfo info;
  int32_t last = 0;
};

TEST_F(SendWaitTest, PartialWritesResumeFromTheFirstByteNotTakenAfterEachRetry) {
  printer->writes = {{kResultBusy, 3}, {kResultTimeout, 4}, {kResultBusy, 0}, {}};
  ui.answers = {MsgBoxResult::kRetry, MsgBoxResult::kRetry, MsgBoxResult::kRetry};
  Send(false);
  EXPECT_EQ(std::tuple(last, printer->written, form.StatusPanelText(1)),
            std::tuple(kResultOk, kData, "Printer ready..."));
  ASSERT_EQ(printer->write_log.size(), 4u);
  EXPECT_EQ(
      std::tuple(printer->write_log[1].offered, printer->write_log[3].offered, printer->write_log[3].mode),
      std::tuple(kData.substr(3), kData.substr(7), kWriteOrdinary));
  EXPECT_EQ(ui.PromptTexts(), (std::vector<std::string>{kBusyText, kOfflineText, kBusyText}));
  EXPECT_EQ(std::pair(ui.prompts[0].buttons, ui.prompts[0].icon),
            std::pair(MsgBoxButtons::kRetryCancel, MsgBoxIcon::kInformation));
}

TEST_F(SendWaitTest, CancelGivesTheResultCodeAndOtherFailuresAreDescribed) {
  printer->writes = {{kResultBusy, 2}, {kResultPortClosed, 0}};
  ui.answers.push_back(MsgBoxResult::kCancel);
  Send(true);
  EXPECT_EQ(std::tuple(last, form.StatusPanelText(1), printer->Count("WriteData"), ui.messages.size()),
            std::tuple(kResultBusy, "Printer error...", 1, 0u));
  LoseThePrinter();
  EXPECT_EQ(Send(true), kResultPortClosed);
  EXPECT_EQ(ui.messages,
            std::vector<std::string>{"Raised error -2147221374 sending data to printer." + kLostText});
}

// With waitOnTimeout the wait runs in steps of 0.2 s while the object is busy, then sends the rest.
TEST_F(SendWaitTest, TimeoutWaitsWhileBusyThenResumes) {
  printer->writes.push_back({kResultTimeout, 8});
  printer->busy_states = {1, 1, 1, 0};
  std::vector<double> checks;
  printer->on_write = [&](const Bytes& bytes, int32_t) {
    if (bytes != B({16, 4, 1})) return;
    checks.push_back(ui.now);
    printer->QueueByte(0x12);
  };
  EXPECT_EQ(Send(true), kResultOk);
  EXPECT_TRUE(ui.prompts.empty());
  ASSERT_EQ(checks.size(), 3u);
  EXPECT_GE(std::min(checks[1] - checks[0], checks[2] - checks[1]), 0.2);
  EXPECT_EQ(printer->write_log.back().offered, kData.substr(8));
}

TEST_F(SendWaitTest, TimeoutWaitEndsWhenTheStatusFailsOrOnEndReq) {
  TimeOutBusy({0x1A, 0x52, 0x32});  // unrecoverable error
  EXPECT_EQ(Send(true), kResultTimeout);
  EXPECT_EQ(printer->Count("GetBusyState"), 1);
  TimeOutBusy({0x12});
  ui.on_do_events = [&] {
    if (ui.now > 1001.0) form.SetEndReq(true);
  };
  EXPECT_EQ(Send(true), kResultTimeout);
  EXPECT_LT(ui.now, 1001.3);
}

TEST_F(SendWaitTest, SendWritesStopsAtTheFirstFailureAndOnlyTheFirstWriteWaitsOutATimeout) {
  int32_t result = -1;
  SendWrites({"a", "bc", "def"}, result);
  EXPECT_EQ(std::pair(result, printer->write_log.size()), std::pair(kResultOk, size_t{3}));
  printer->written.clear();
  printer->writes = {{kResultTimeout, 0}, {}, {}, {kResultTimeout, 0}};  // head resent, row1, row2 times out
  ui.answers = {MsgBoxResult::kCancel};
  SendWrites({"head", "row1", "row2", "row3"}, result);
  EXPECT_EQ(std::pair(result, printer->written), std::pair(kResultTimeout, Bytes("headrow1")));
  EXPECT_EQ(ui.prompts.size(), 1u) << "the timed-out first write was resent without asking";
}

TEST_F(SendWaitTest, ModelIdAnswerEndsTheWait) {
  printer->write_timeout = 1500;
  printer->read_timeout = 700;
  printer->reads = {{kResultTimeout, ""}, {kResultOk, B({0x00})}, {kResultOk, B({46})}};
  EXPECT_EQ(Wait(), kResultOk);
  EXPECT_EQ(After(),
            std::tuple("Printer ready...", "Waiting for graphics data to be processed...", 0, kResultOk));
  EXPECT_EQ(std::pair(printer->written, printer->write_log[0].mode),
            std::pair(B({29, 'I', 1}), kWriteRealTime));
  // Time-outs set around the request and each poll, then put back.
  EXPECT_EQ(std::tuple(printer->write_timeouts_put, printer->read_timeouts_put, form.PanelHistory(2).size()),
            std::tuple(std::vector{200, 1500}, std::vector{50, 700, 50, 700, 50, 700}, 1u));
}

TEST_F(SendWaitTest, NoAnswerForEightSecondsAsksAndEachRetryAsksAgain) {
  ui.step = 0.05;  // each timed-out read moves the clock on by this through DoEvents
  ui.answers = {MsgBoxResult::kRetry, MsgBoxResult::kRetry, MsgBoxResult::kCancel};
  const double start = ui.now;
  EXPECT_EQ(Wait(), kResultTimeout);
  ASSERT_EQ(ui.prompts.size(), 3u);
  EXPECT_EQ(std::pair(ui.prompts[0].text, ui.prompts[0].buttons),
            std::pair(std::string("Timeout waiting for graphics data to be processed..."),
                      MsgBoxButtons::kRetryCancel));
  // The first question comes just after 8 s; the retries each after one more read time-out.
  EXPECT_NEAR(ui.now - start, 8.1, 0.1);
  EXPECT_EQ(printer->Count("ReadData"), static_cast<int>(ui.do_events) + 3);
  EXPECT_EQ(After(), std::tuple("", "Ready...", 1, kResultTimeout));
}

TEST_F(SendWaitTest, RequestNotSentRetryGoesOnAndCancelReleases) {
  printer->writes.push_back({kResultBusy, 0});
  ui.answers.push_back(MsgBoxResult::kRetry);
  Wait();
  EXPECT_EQ(std::tuple(last, form.StatusPanelText(1), printer->Count("ReadData")),
            std::tuple(kResultOk, "Printer error...", 0));
  printer->writes.push_back({kResultTimeout, 0});
  ui.answers.push_back(MsgBoxResult::kCancel);
  form.SetStatusPanelText(1, "(unchanged)");
  EXPECT_EQ(Wait(), kResultNotSent);
  EXPECT_EQ(ui.PromptTexts(), (std::vector<std::string>{kBusyText, kOfflineText}));
  EXPECT_EQ(After(), std::tuple("(unchanged)", "Ready...", 1, kResultTimeout));
}

TEST_F(SendWaitTest, FailedRequestOrReadReleasesAndDescribes) {
  LoseThePrinter();
  printer->writes.push_back({kResultPortClosed, 0});
  EXPECT_EQ(Wait(), kResultPortClosed);
  EXPECT_EQ(After(), std::tuple("Printer error...", "Ready...", 1, kResultPortClosed));
  EXPECT_EQ(std::pair(ui.messages.back(), info.Source),
            std::pair("Raised error -2147221374 by PortPrinter" + kLostText, std::string("PortPrinter")));
  printer->reads.push_back({kResultPortClosed, ""});
  Wait();
  EXPECT_EQ(std::tuple(last, printer->releases, ui.messages.size()), std::tuple(kResultPortClosed, 2, 2u));
}

}  // namespace
}  // namespace zelta::test
