// The programming runs against the simulated sensor on simulated time: what
// goes over the line, the retries, the messages and log lines, progress and
// every result code.
#include "firmware/ProgramRun.h"

#include <gtest/gtest.h>

#include "firmware/Crc32.h"
#include "firmware/FirmwareRig.h"

namespace tolvane::firmware {
namespace {

using link::sim::SimOptions;
using test::Bytes;
using test::Cat;
using test::CountOf;
using test::FirmwareRig;
using test::Frame;

Bytes Image(std::size_t n, std::uint8_t seed = 1) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) {
    b[i] = static_cast<std::uint8_t>(seed + i * 7);
  }
  return b;
}

bool Contains(const std::vector<std::string>& texts, const std::string& text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

void ExpectProgressGrows(const std::vector<int>& progress) {
  // 0 and 10 from the run, then growing values only.
  ASSERT_GE(progress.size(), 3u);
  EXPECT_EQ(progress[0], 0);
  EXPECT_EQ(progress[1], 10);
  for (std::size_t i = 3; i < progress.size(); ++i) {
    EXPECT_GT(progress[i], progress[i - 1]) << "at report " << i;
  }
  EXPECT_EQ(progress.back(), 1000);
  EXPECT_LE(progress.size(), 1001u);
}

TEST(EncryptedRun, SendsTheImageInPacketsOfSixtyFourBytesAfterOneErase) {
  FirmwareRig rig;
  const Bytes image = Image(130);
  const auto start = rig.clock.now();
  EXPECT_EQ(rig.Run(rig.File("a.fep", image)), 0);
  EXPECT_EQ(rig.events.finished, std::vector<int>{0});
  EXPECT_EQ(rig.counts.dataPackets, 3);
  const Bytes& got = rig.sensor->Program();
  ASSERT_EQ(got.size(), 192u);
  EXPECT_TRUE(std::equal(image.begin(), image.end(), got.begin()));
  EXPECT_TRUE(std::all_of(got.begin() + 130, got.end(), [](std::uint8_t b) { return b == 0xFF; }));
  ExpectProgressGrows(rig.events.progress);
  // 30 at the start, then 30 + 960 * sent / 130 after each packet.
  EXPECT_EQ(rig.events.progress, (std::vector<int>{0, 10, 30, 502, 975, 990, 1000}));
  const auto codes = rig.Commands();
  EXPECT_EQ(CountOf(codes, link::CMD_ERASE_PROGRAM), 1u);
  EXPECT_EQ(CountOf(codes, link::CMD_END_PROGRAMMING), 0u);
  EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(rig.clock.now() - start).count(), 1000);
  EXPECT_TRUE(rig.messages.shown.empty());
  const std::string log = rig.Log();
  for (const char* line :
       {"WRITEENCRYPTEDPROGRAM->Programming started", "Downloading Program", "Programming Completed", "a.fep Open"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }
}

TEST(EncryptedRun, EraseIsTriedFiveTimesWithOneRetryMessage) {
  {
    SimOptions o;
    o.faults.eraseFailures = 4;
    FirmwareRig rig(o);
    EXPECT_EQ(rig.Run(rig.File("a.fep", Image(64))), 0);
    EXPECT_EQ(rig.Shown(), std::vector<std::string>{"Erase flash retry"});
    EXPECT_EQ(rig.messages.shown[0].second, MB_PLAIN);
    const auto codes = rig.Commands();
    EXPECT_EQ(CountOf(codes, link::CMD_ERASE_PROGRAM), 5u);
    EXPECT_EQ(CountOf(codes, link::CMD_END_PROGRAMMING), 1u);
  }
  {
    SimOptions o;
    o.faults.eraseFailures = 5;
    FirmwareRig rig(o);
    const int r = rig.Run(rig.File("a.fep", Image(64)));
    EXPECT_EQ(r, link::sim::kSimStatusErase);  // the last link result, passed on unchanged
    EXPECT_EQ(rig.events.finished, std::vector<int>{r});
    EXPECT_EQ(rig.Shown(), (std::vector<std::string>{"Erase flash retry", rig.Text("ERROR_MESSAGE65")}));
    EXPECT_EQ(rig.messages.shown[1].second, MB_ERROR);
    const auto codes = rig.Commands();
    EXPECT_EQ(CountOf(codes, link::CMD_PROGRAM_DATA), 0u);
    EXPECT_EQ(CountOf(codes, link::CMD_END_PROGRAMMING), 2u);  // after the fourth failure and with the error
    EXPECT_NE(rig.Log().find(rig.Text("ERROR_MESSAGE65")), std::string::npos);
    EXPECT_EQ(rig.events.progress.back(), 0);
    EXPECT_FALSE(rig.link.IsLinkOpen());
  }
}

TEST(EncryptedRun, MissingReadyFrameOrRefusedPacketStopsTheRun) {
  {
    SimOptions o;
    o.faults.noReadyAfterPacket = 2;
    FirmwareRig rig(o);
    const int r = rig.Run(rig.File("a.fep", Image(300)));
    EXPECT_NE(r, 0);
    EXPECT_EQ(rig.counts.dataPackets, 2);
    EXPECT_TRUE(Contains(rig.Shown(), rig.Text("ERROR_MESSAGE83")));
    EXPECT_EQ(CountOf(rig.Commands(), link::CMD_END_PROGRAMMING), 1u);
    EXPECT_EQ(rig.events.finished, std::vector<int>{r});
  }
  {
    // A packet the unit refuses is not in its flash: the run must not go on
    // and report a complete image.
    SimOptions o;
    o.faults.statusByte = link::sim::kSimStatusFull;
    o.faults.statusCommand = link::CMD_PROGRAM_DATA;
    FirmwareRig rig(o);
    const int r = rig.Run(rig.File("a.fep", Image(300)));
    EXPECT_EQ(r, link::sim::kSimStatusFull);
    EXPECT_EQ(CountOf(rig.Commands(), link::CMD_PROGRAM_DATA), 1u);
    EXPECT_TRUE(Contains(rig.Shown(), rig.Text("ERROR_MESSAGE83")));
  }
}

TEST(EncryptedRun, FilesAreBoundedAndAnEmptyOneIsRefusedBeforeTheErase) {
  {
    FirmwareRig rig;
    EXPECT_EQ(rig.Run(rig.File("max.fep", Image(131071))), 0);
    EXPECT_EQ(rig.counts.dataPackets, 2048);
    EXPECT_LE(rig.events.progress.size(), 1001u);
  }
  const struct {
    std::size_t size;
    const char* key;
  } refused[] = {{131072, "ERROR_MESSAGE80"}, {0, "FIRMWARE_MESSAGE2"}};
  for (const auto& c : refused) {
    FirmwareRig rig;
    const int r = rig.Run(rig.File("big.fep", Image(c.size)));
    EXPECT_NE(r, 0) << c.size;
    EXPECT_TRUE(Contains(rig.Shown(), rig.Text(c.key))) << c.size;
    EXPECT_EQ(CountOf(rig.Commands(), link::CMD_ERASE_PROGRAM), 0u) << c.size;
  }
  FirmwareRig rig;
  EXPECT_NE(rig.Run(rig.dir / "missing.fep"), 0);
  EXPECT_TRUE(Contains(rig.Shown(), rig.Text("ERROR_MESSAGE79")));
  // A folder in place of the file.
  FirmwareRig folder;
  std::filesystem::create_directory(folder.dir / "d.fep");
  EXPECT_NE(folder.Run(folder.dir / "d.fep"), 0);
}

TEST(EncryptedRun, UnpluggedUnitNeverReportsSuccess) {
  SimOptions o;
  o.faults.unplugAfterPacket = 3;
  FirmwareRig rig(o);
  const int r = rig.Run(rig.File("a.fep", Image(1000)));
  EXPECT_NE(r, 0);
  EXPECT_EQ(rig.events.finished, std::vector<int>{r});
  EXPECT_EQ(rig.events.progress.back(), 0);
}

Bytes Block(std::uint8_t number, std::uint8_t fill) {
  Bytes payload(65, fill);
  payload[0] = number;
  return Frame(link::CMD_WRITE_SCRATCH, payload);
}

TEST(PacketRun, RelaysTheFramesAndLogsEachKind) {
  FirmwareRig rig;
  Bytes blocks;
  for (std::uint8_t b = 0; b < 8; ++b) {
    blocks = Cat({blocks, Block(b, static_cast<std::uint8_t>(0x40 + b)), {0}});
  }
  Bytes crc(8, 0);
  PutLe32(crc.data(), Crc32Of({}));  // the packet run erased the flash: an empty image
  const Bytes file = Cat({Frame(link::CMD_ERASE_SCRATCH, {}),
                          {0},
                          blocks,
                          Frame(link::CMD_COPY_SCRATCH, {1}),
                          {0},
                          Frame(link::CMD_ERASE_HISTORY, {}),
                          {0},
                          Frame(link::CMD_VERIFY_CRC, crc),
                          // a frame cut by the end of the file ends the frames without an error
                          {0xA5, 0x10, 0x36}});
  EXPECT_EQ(rig.Run(rig.File("p.pkt", file)), 0);
  EXPECT_EQ(rig.counts.frames, 12);
  EXPECT_EQ(rig.sensor->Page(1)[64 * 3], 0x43);
  EXPECT_EQ(rig.sensor->Page(3)[0], 0);  // history erased
  const auto codes = rig.Commands();
  EXPECT_EQ(CountOf(codes, link::CMD_ERASE_PROGRAM), 1u);
  EXPECT_EQ(CountOf(codes, link::CMD_END_PROGRAMMING), 0u);
  ExpectProgressGrows(rig.events.progress);
  const std::string log = rig.Log();
  for (const char* line :
       {"WRITEPROGRAM->Programming started", "Erasing Program Flash", "Scratch Erased", "Write Data Packet OK",
        "Write Customer Data Target OK", "History Erased", "CRC verified", "Programming Completed"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }
  EXPECT_EQ(log.find("Write Factory Data Target OK"), std::string::npos);
}

TEST(PacketRun, RefusedFramesAndBadFilesFailWithTheirKeys) {
  {
    // The unit's CRC check fails: ERROR_MESSAGE87, the run's result negated.
    SimOptions o;
    o.faults.crcMismatch = true;
    FirmwareRig rig(o);
    const int r = rig.Run(rig.File("p.pkt", Frame(link::CMD_VERIFY_CRC, Bytes(8, 0))));
    EXPECT_EQ(r, -link::sim::kSimStatusCrc);
    EXPECT_TRUE(Contains(rig.Shown(), rig.Text("ERROR_MESSAGE87")));
    EXPECT_EQ(CountOf(rig.Commands(), link::CMD_END_PROGRAMMING), 0u);
  }
  {
    // A length byte of 105: refused there; the frame before it was sent.
    FirmwareRig rig;
    Bytes bad = Frame(link::CMD_ERASE_HISTORY, Bytes(104, 1));
    const int r = rig.Run(rig.File("p.pkt", Cat({Frame(link::CMD_ERASE_SCRATCH, {}), bad})));
    EXPECT_NE(r, 0);
    EXPECT_TRUE(Contains(rig.Shown(), rig.Text("FIRMWARE_MESSAGE1")));
    const auto codes = rig.Commands();
    EXPECT_EQ(CountOf(codes, link::CMD_ERASE_SCRATCH), 1u);
    EXPECT_EQ(CountOf(codes, link::CMD_ERASE_HISTORY), 0u);
  }
  {
    // An unknown command: ERROR_MESSAGE95.
    FirmwareRig rig;
    EXPECT_EQ(rig.Run(rig.File("p.pkt", Frame(0x77, {}))), -link::sim::kSimStatusUnknown);
    EXPECT_TRUE(Contains(rig.Shown(), rig.Text("ERROR_MESSAGE95")));
  }
  {
    // 100 stray bytes: no frame at all, nothing relayed, the run completes.
    FirmwareRig rig;
    EXPECT_EQ(rig.Run(rig.File("p.pkt", Cat({Bytes(100, 0x11), Frame(link::CMD_ERASE_HISTORY, {})}))), 0);
    EXPECT_EQ(rig.counts.frames, 0);
  }
  {
    FirmwareRig rig;
    EXPECT_NE(rig.Run(rig.File("p.pkt", {})), 0);
    EXPECT_TRUE(Contains(rig.Shown(), rig.Text("FIRMWARE_MESSAGE2")));
    EXPECT_EQ(CountOf(rig.Commands(), link::CMD_ERASE_PROGRAM), 0u);
  }
  {
    // a.pkt.fep starts the packet run.
    FirmwareRig rig;
    EXPECT_EQ(rig.Run(rig.File("a.pkt.fep", Frame(link::CMD_ERASE_HISTORY, {}))), 0);
    EXPECT_EQ(rig.counts.frames, 1);
    EXPECT_EQ(rig.counts.dataPackets, 0);
  }
}

TEST(PacketRun, NoConnectionFailsWithMinusOne) {
  SimOptions o;
  o.faults.silent = true;
  FirmwareRig rig(o);
  EXPECT_EQ(rig.Run(rig.File("p.pkt", Frame(link::CMD_ERASE_HISTORY, {}))), -1);
  EXPECT_EQ(rig.events.finished, std::vector<int>{-1});
}

Bytes VerifyFrame(const Bytes& image) {
  Bytes payload(8);
  PutLe32(payload.data(), Crc32Of(image));
  PutLe32(payload.data() + 4, static_cast<std::uint32_t>(image.size()));
  return Frame(link::CMD_VERIFY_CRC, payload);
}

Bytes Record(std::uint32_t tag, const Bytes& body) {
  Bytes r(8);
  PutLe32(r.data(), tag);
  PutLe32(r.data() + 4, static_cast<std::uint32_t>(body.size()));
  return Cat({r, body});
}

TEST(CombinedRun, ProgramsTheRecordsAndTheUnitRunsTheNewRevision) {
  FirmwareRig rig;
  const Bytes image = link::sim::MakeSimImage("QR27", 524, 16384, 7);
  const Bytes file = PackCombined("QR27-52p4", {{TAG_FEP, image}, {TAG_PKT, VerifyFrame(image)}});
  const auto path = rig.File("Q12ver52p4.fp2", file);
  EXPECT_EQ(rig.Run(path), 0);
  EXPECT_EQ(rig.target.filePath, path.string());  // back at the combined file
  EXPECT_EQ(rig.sensor->SoftwareRevision(), 524);
  EXPECT_EQ(rig.counts.dataPackets, 256);
  ExpectProgressGrows(rig.events.progress);
  EXPECT_FALSE(std::filesystem::exists(rig.dir / "temp1.fep"));
  EXPECT_FALSE(std::filesystem::exists(rig.dir / "temp2.pkt"));
  const std::string log = rig.Log();
  for (const char* line :
       {"WRITECOMBINEDPROGRAMTARGET->Port Open", "Pilot Received", "Q12ver52p4.fp2 open", "CRC match!",
        "Program write successful", "CRC verified", "Packet write successful", "Write completed"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }
  EXPECT_GT(rig.events.safePoints, 2);
  // The unit keeps its image and revision in its state file.
  ASSERT_TRUE(rig.sensor->SaveState(rig.dir / "unit.state"));
  link::sim::CSimSensor again({}, rig.clock.now());
  ASSERT_TRUE(again.LoadState(rig.dir / "unit.state"));
  EXPECT_EQ(again.SoftwareRevision(), 524);
  EXPECT_EQ(again.Program(), rig.sensor->Program());
  tolvane::test::WriteBytes(rig.dir / "cut.state", tolvane::test::ReadBytes(rig.dir / "unit.state").substr(0, 3000));
  EXPECT_FALSE(again.LoadState(rig.dir / "cut.state"));
}

TEST(CombinedRun, AStopRequestIsTakenOnlyBetweenRecords) {
  FirmwareRig rig;
  rig.events.stopAtSafePoint = 3;  // before the second FEP record
  const Bytes file = PackCombined("QR27-1", {{TAG_FEP, Image(640)}, {TAG_FEP, Image(640, 3)}});
  EXPECT_EQ(rig.Run(rig.File("s.fp2", file)), kRunStopped);
  EXPECT_EQ(rig.counts.dataPackets, 10);  // the first image whole, nothing of the second
  EXPECT_EQ(rig.events.finished, std::vector<int>{kRunStopped});
  EXPECT_FALSE(std::filesystem::exists(rig.dir / "temp1.fep"));
  EXPECT_EQ(rig.events.logLines.back(), "WRITECOMBINEDPROGRAMTARGET->Stopped between records");
}

TEST(CombinedRun, AChangedByteFailsBeforeAnythingIsSent) {
  FirmwareRig rig;
  Bytes file = PackCombined("QR27-52p4", {{TAG_FEP, Image(500)}});
  file[8 + 9 + 8 + 100] ^= 0x80;
  EXPECT_EQ(rig.Run(rig.File("x.fp2", file)), COMBINED_INVALID);
  EXPECT_EQ(rig.Shown(), std::vector<std::string>{"File is invalid!"});
  const auto codes = rig.Commands();
  EXPECT_EQ(CountOf(codes, link::CMD_ERASE_PROGRAM), 0u);
  EXPECT_EQ(CountOf(codes, link::CMD_PROGRAM_DATA), 0u);
  EXPECT_NE(rig.Log().find("CRC mismatch!"), std::string::npos);
  EXPECT_EQ(rig.events.finished, std::vector<int>{COMBINED_INVALID});
}

TEST(CombinedRun, RecordOrderCoverageAndUnknownTags) {
  {
    // A PKT record before the FEP record is programmed first.
    FirmwareRig rig;
    const Bytes file = PackCombined("QR27-1", {{TAG_PKT, Frame(link::CMD_ERASE_HISTORY, {})}, {TAG_FEP, Image(64)}});
    EXPECT_EQ(rig.Run(rig.File("o.fp2", file)), 0);
    const auto codes = rig.Commands();
    const auto history = std::find(codes.begin(), codes.end(), link::CMD_ERASE_HISTORY);
    const auto erase = std::find(codes.begin(), codes.end(), link::CMD_ERASE_PROGRAM);
    ASSERT_NE(history, codes.end());
    ASSERT_NE(erase, codes.end());
    EXPECT_LT(history, erase);
  }
  {
    // A PKT record after the CRC record is not covered but programmed.
    FirmwareRig rig;
    const Bytes file =
        Cat({PackCombined("QR27-1", {{TAG_FEP, Image(64)}}), Record(TAG_PKT, Frame(link::CMD_ERASE_HISTORY, {}))});
    EXPECT_EQ(rig.Run(rig.File("c.fp2", file)), 0);
    EXPECT_EQ(CountOf(rig.Commands(), link::CMD_ERASE_HISTORY), 1u);
  }
  {
    // An unknown tag after the CRC record fails in the splitting pass, after
    // the records before it were programmed.
    FirmwareRig rig;
    const Bytes file = Cat({PackCombined("QR27-1", {{TAG_FEP, Image(64)}}), Record(0x00585858u, {1})});
    EXPECT_EQ(rig.Run(rig.File("u.fp2", file)), COMBINED_OPEN_OR_TAG);
    EXPECT_EQ(rig.counts.dataPackets, 1);
  }
  {
    // ... and before it, in the verification pass.
    FirmwareRig rig;
    const Bytes covered = Cat({Record(TAG_PID, {'Q'}), Record(0x00585858u, {1})});
    Bytes crc(4);
    PutLe32(crc.data(), Crc32Of(covered));
    EXPECT_EQ(rig.Run(rig.File("v.fp2", Cat({covered, Record(TAG_CRC, crc), Record(TAG_FEP, Image(64))}))),
              COMBINED_OPEN_OR_TAG);
    EXPECT_EQ(rig.counts.dataPackets, 0);
  }
  {
    // A PID body of 101 bytes (covered by a correct CRC) fails with -5.
    FirmwareRig rig;
    const Bytes covered = Record(TAG_PID, Bytes(101, 'Q'));
    Bytes crc(4);
    PutLe32(crc.data(), Crc32Of(covered));
    EXPECT_EQ(rig.Run(rig.File("p.fp2", Cat({covered, Record(TAG_CRC, crc)}))), COMBINED_SPLIT);
  }
  {
    FirmwareRig rig;
    EXPECT_EQ(rig.Run(rig.dir / "missing.fp2"), COMBINED_OPEN_OR_TAG);
  }
}

TEST(CombinedRun, TemporaryFilesAreReplacedAndAFailedOneStays) {
  {
    FirmwareRig rig;
    rig.File("temp1.fep", Image(10, 99));  // left by an earlier run
    std::filesystem::permissions(rig.dir / "temp1.fep", std::filesystem::perms::owner_read);
    const Bytes image = Image(200, 5);
    EXPECT_EQ(rig.Run(rig.File("t.fp2", PackCombined("QR27-1", {{TAG_FEP, image}}))), 0);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), rig.sensor->Program().begin()));
    EXPECT_FALSE(std::filesystem::exists(rig.dir / "temp1.fep"));
  }
  {
    SimOptions o;
    o.faults.noReadyAfterPacket = 1;
    FirmwareRig rig(o);
    const Bytes image = Image(200, 5);
    const int r = rig.Run(rig.File("t.fp2", PackCombined("QR27-1", {{TAG_FEP, image}})));
    EXPECT_NE(r, 0);
    EXPECT_NE(rig.Log().find("Program write error!"), std::string::npos);
    EXPECT_EQ(tolvane::test::ReadBytes(rig.dir / "temp1.fep").size(), image.size());
  }
  {
    // Unplugged in the middle of the image: never a success.
    SimOptions o;
    o.faults.unplugAfterPacket = 5;
    FirmwareRig rig(o);
    const int r = rig.Run(rig.File("t.fp2", PackCombined("QR27-1", {{TAG_FEP, Image(2000)}})));
    EXPECT_NE(r, 0);
    EXPECT_NE(rig.events.finished.back(), 0);
    EXPECT_EQ(rig.Log().find("Write completed"), std::string::npos);
  }
}

}  // namespace
}  // namespace tolvane::firmware
