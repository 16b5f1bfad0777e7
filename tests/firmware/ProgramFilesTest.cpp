// The program file layouts: CRC-32, packet frames, the combined file's
// verification, packing, and the names Update Sensor and Select Program read.
#include "firmware/ProgramFiles.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <array>

#include "firmware/Crc32.h"
#include "firmware/FirmwareRig.h"
#include "support/TestSupport.h"

namespace tolvane::firmware {
namespace {

using test::Bytes;
using test::Cat;
using test::Frame;

Bytes Record(std::uint32_t tag, std::uint32_t length, const Bytes& body) {
  Bytes r(8 + body.size());
  PutLe32(r.data(), tag);
  PutLe32(r.data() + 4, length);
  std::copy(body.begin(), body.end(), r.begin() + 8);
  return r;
}

Bytes CrcRecordOf(const Bytes& covered) {
  Bytes body(4);
  PutLe32(body.data(), Crc32Of(covered));
  return Record(TAG_CRC, 4, body);
}

Bytes Text(std::string_view s) { return Bytes(s.begin(), s.end()); }

TEST(Crc32, TableIsTheReflectedPolynomialAndMatchesZlib) {
  const CCRC_32 crc32;
  EXPECT_EQ(crc32.Entry(0), 0u);
  EXPECT_EQ(crc32.Entry(1), 0x77073096u);
  EXPECT_EQ(crc32.Entry(255), 0x2D02EF8Du);
  const Bytes check = Text("123456789");
  EXPECT_EQ(Crc32Of(check), 0xCBF43926u);
  // The running value folds piece by piece like the table step.
  std::uint32_t crc = 0xFFFFFFFFu;
  crc32.Update(check.data(), 4, crc);
  std::uint32_t byTable = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < 4; ++i) {
    byTable = (byTable >> 8) ^ crc32.Entry((byTable ^ check[i]) & 0xFFu);
  }
  EXPECT_EQ(crc, byTable);
  crc32.Update(check.data() + 4, 5, crc);
  EXPECT_EQ(~crc, 0xCBF43926u);
  EXPECT_EQ(~crc, static_cast<std::uint32_t>(::crc32(0, check.data(), 9)));
}

TEST(PacketFrames, TakesFramesAcrossStrayBytesAndStopsWhereTheFileEnds) {
  // Frames separated by single zero bytes, the stored checksum ignored.
  const Bytes data = Cat({Frame(0x33, {}), {0}, Frame(0x34, {1}), {0}, Frame(0x28, {1, 2, 3, 4})});
  std::size_t pos = 0;
  PACKET_FRAME f;
  ASSERT_EQ(TakePacketFrame(data, pos, f), FrameTake::Frame);
  EXPECT_EQ(f.code, 0x33);
  EXPECT_EQ(f.length, 1);
  EXPECT_TRUE(f.payload.empty());
  ASSERT_EQ(TakePacketFrame(data, pos, f), FrameTake::Frame);
  EXPECT_EQ(f.code, 0x34);
  EXPECT_EQ(f.payload, Bytes{1});
  EXPECT_EQ(f.consumed, 6u);  // the zero byte before it and its five bytes
  ASSERT_EQ(TakePacketFrame(data, pos, f), FrameTake::Frame);
  EXPECT_EQ(f.payload, (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(pos, data.size());
  EXPECT_EQ(TakePacketFrame(data, pos, f), FrameTake::End);

  // 99 stray bytes are skipped, 100 end the frames.
  Bytes stray99(99, 0x11);
  Bytes ok = Cat({stray99, Frame(0x36, {})});
  pos = 0;
  EXPECT_EQ(TakePacketFrame(ok, pos, f), FrameTake::Frame);
  Bytes stray100 = Cat({Bytes(100, 0x11), Frame(0x36, {})});
  pos = 0;
  EXPECT_EQ(TakePacketFrame(stray100, pos, f), FrameTake::End);

  // A frame cut by the end of the file is no frame.
  Bytes cut = Frame(0x28, {1, 2, 3, 4});
  cut.pop_back();
  pos = 0;
  EXPECT_EQ(TakePacketFrame(cut, pos, f), FrameTake::End);
  const Bytes lone{0xA5};
  pos = 0;
  EXPECT_EQ(TakePacketFrame(lone, pos, f), FrameTake::End);

  // Lengths the 108-byte frame buffer cannot hold, and 0, are refused; 104 fits.
  Bytes longest = Frame(0x28, Bytes(103, 7));
  pos = 0;
  ASSERT_EQ(TakePacketFrame(longest, pos, f), FrameTake::Frame);
  EXPECT_EQ(f.length, 104);
  Bytes tooLong = Frame(0x28, Bytes(104, 7));
  pos = 0;
  EXPECT_EQ(TakePacketFrame(tooLong, pos, f), FrameTake::BadLength);
  const Bytes zero{0xA5, 0x00, 0x28, 0x00};
  pos = 0;
  EXPECT_EQ(TakePacketFrame(zero, pos, f), FrameTake::BadLength);
}

class CombinedFiles : public ::testing::Test {
 protected:
  VERIFY_RESULT Verify(const Bytes& bytes) {
    const auto path = dir_ / "f.fp2";
    tolvane::test::WriteBytes(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    return VerifyCombinedFile(path);
  }
  tolvane::test::TempDir dir_;
};

TEST_F(CombinedFiles, PackedFileVerifiesAndListsItsRecords) {
  const Bytes fep(300, 0x42);
  const Bytes pkt = Frame(0x36, {});
  const Bytes file = PackCombined("QR27-52p4", {{TAG_PKT, pkt}, {TAG_FEP, fep}});
  const VERIFY_RESULT v = Verify(file);
  EXPECT_EQ(v.fault, VerifyFault::Ok);
  EXPECT_EQ(v.code, 0);
  ASSERT_EQ(v.records.size(), 4u);
  EXPECT_EQ(v.records[0].tag, TAG_PID);
  EXPECT_EQ(v.records[1].tag, TAG_PKT);
  EXPECT_EQ(v.records[2].tag, TAG_FEP);
  EXPECT_EQ(v.records[2].length, 300u);
  EXPECT_EQ(v.records[3].tag, TAG_CRC);
  EXPECT_EQ(v.stored, v.computed);
  EXPECT_EQ(TagName(TAG_FEP), "FEP");
  EXPECT_EQ(TagName(0x01020304u), "0x01020304");
  // Parts too long for the transfer buffer, or a PID over 100 bytes, make no file.
  EXPECT_TRUE(PackCombined(std::string(101, 'Q'), {}).empty());
  EXPECT_TRUE(PackCombined("QR27", {{TAG_FEP, Bytes(131072, 1)}}).empty());
  EXPECT_FALSE(PackCombined("QR27", {{TAG_FEP, Bytes(131071, 1)}}).empty());
}

TEST_F(CombinedFiles, DamagedFilesAreRefusedWithTheirCodes) {
  const Bytes good = PackCombined("QR27-52p4", {{TAG_FEP, Bytes(200, 0x42)}});
  Bytes changed = good;
  changed[8 + 9 + 8 + 50] ^= 0x01;  // a byte of the FEP body
  EXPECT_EQ(Verify(changed).fault, VerifyFault::CrcMismatch);
  EXPECT_EQ(Verify(changed).code, COMBINED_INVALID);

  const Bytes pid = Record(TAG_PID, 4, Text("QR27"));
  // A length of 0xFFFFFFFF: the file ends inside the body.
  const Bytes huge = Cat({pid, Record(TAG_FEP, 0xFFFFFFFFu, Bytes(10, 1))});
  EXPECT_EQ(Verify(huge).fault, VerifyFault::Truncated);
  EXPECT_EQ(Verify(huge).code, COMBINED_INVALID);
  // Cut inside a header and inside a body.
  EXPECT_EQ(Verify(Bytes(good.begin(), good.begin() + 12)).fault, VerifyFault::Truncated);
  EXPECT_EQ(Verify(Bytes(good.begin(), good.begin() + 60)).fault, VerifyFault::Truncated);
  EXPECT_EQ(Verify(Bytes(good.begin(), good.end() - 2)).fault, VerifyFault::Truncated);
  // No CRC record at all.
  EXPECT_EQ(Verify(Cat({pid, Record(TAG_FEP, 3, {1, 2, 3})})).fault, VerifyFault::Truncated);
  EXPECT_EQ(Verify({}).fault, VerifyFault::Truncated);
  // A CRC record of 3 and of 1000 bytes.
  Bytes crc3 = Cat({pid, Record(TAG_CRC, 3, {1, 2, 3})});
  EXPECT_EQ(Verify(crc3).fault, VerifyFault::BadCrcLength);
  EXPECT_EQ(Verify(crc3).code, COMBINED_INVALID);
  Bytes crc1000 = Cat({pid, Record(TAG_CRC, 1000, Bytes(1000, 0))});
  EXPECT_EQ(Verify(crc1000).fault, VerifyFault::BadCrcLength);
  // An unknown tag before the CRC record is -3 here; after it, the
  // verification does not look.
  const Bytes unknown = Record(0x00585858u, 2, {1, 2});  // "XXX"
  const Bytes before = Cat({pid, unknown, CrcRecordOf(Cat({pid, unknown}))});
  EXPECT_EQ(Verify(before).fault, VerifyFault::UnknownTag);
  EXPECT_EQ(Verify(before).code, COMBINED_OPEN_OR_TAG);
  const Bytes after = Cat({good, unknown});
  EXPECT_EQ(Verify(after).fault, VerifyFault::Ok);
  // A missing file, a folder.
  EXPECT_EQ(VerifyCombinedFile(dir_ / "missing.fp2").code, COMBINED_OPEN_OR_TAG);
  EXPECT_EQ(VerifyCombinedFile(dir_.path()).code, COMBINED_OPEN_OR_TAG);
}

TEST_F(CombinedFiles, RecordListingStopsAtABodyTheFileDoesNotHold) {
  const Bytes good = PackCombined("QR27-52p4", {{TAG_FEP, Bytes(64, 1)}});
  const Bytes extra = Record(TAG_PKT, 4, Frame(0x36, {}));
  const auto path = dir_ / "l.fp2";
  const Bytes all = Cat({good, extra});
  tolvane::test::WriteBytes(path, std::string_view(reinterpret_cast<const char*>(all.data()), all.size()));
  bool whole = false;
  auto records = ListCombinedRecords(path, whole);
  EXPECT_TRUE(whole);
  ASSERT_EQ(records.size(), 4u);
  EXPECT_TRUE(records[2].covered);
  EXPECT_FALSE(records[3].covered);  // after the CRC record
  const Bytes cut(all.begin(), all.end() - 1);
  tolvane::test::WriteBytes(path, std::string_view(reinterpret_cast<const char*>(cut.data()), cut.size()));
  records = ListCombinedRecords(path, whole);
  EXPECT_FALSE(whole);
  EXPECT_EQ(records.size(), 4u);
}

TEST(ProgramNames, PathChecksAndTheRunTheyStart) {
  EXPECT_EQ(CheckProgramPath(""), "ERROR_MESSAGE75");
  EXPECT_EQ(CheckProgramPath(".fep"), "ERROR_MESSAGE102");
  EXPECT_EQ(CheckProgramPath("a.fep"), "ERROR_MESSAGE102");
  EXPECT_EQ(CheckProgramPath("ab.fep"), "");
  EXPECT_EQ(CheckProgramPath("/x/Q1ver23p1.FP2"), "ERROR_MESSAGE103");
  EXPECT_EQ(CheckProgramPath("/x/Q1ver23p1.fp2.bak"), "ERROR_MESSAGE103");
  // The first occurrence of the extension must be the end.
  EXPECT_EQ(CheckProgramPath("/x.fep/a.fep"), "ERROR_MESSAGE103");
  EXPECT_EQ(CheckProgramPath("/x/a.pkt.fep"), "");
  // ... and ".pkt" is searched before ".fep".
  EXPECT_EQ(RunKindOf("/x/a.pkt.fep"), RunKind::Packet);
  EXPECT_EQ(RunKindOf("/x/a.fep"), RunKind::Encrypted);
  EXPECT_EQ(RunKindOf("/x/a.fp2"), RunKind::Combined);
  EXPECT_EQ(RunKindOf("/x/a.txt"), RunKind::None);
}

TEST(ProgramNames, VersionRangeAndTheirOrder) {
  EXPECT_EQ(VersionText("Q1ver23p1.fp2"), "23p1");
  EXPECT_EQ(VersionText("Q1VER23P1.fp2"), "ver23p1");  // no "ver": from the third character
  EXPECT_EQ(VersionText("Q1ver23P1old.fp2"), "23p1old");
  EXPECT_EQ(RangeText("X10p5ver23p1.fp2"), "10.5M");
  EXPECT_EQ(RangeText("Qver23p1.fp2"), "");
  EXPECT_DOUBLE_EQ(VersionNumber("23p1"), 23.1);
  EXPECT_DOUBLE_EQ(VersionNumber("9p1"), 9.0);
  EXPECT_DOUBLE_EQ(VersionNumber("52p4"), 52.4);
  EXPECT_DOUBLE_EQ(VersionNumber("52"), 52.0);
  EXPECT_DOUBLE_EQ(VersionNumber("23p1ol"), 0.0);
  EXPECT_EQ(ProgramItemText("X10p5ver23p1.fp2"), "10.5M  Version: 23.1");
  std::vector<std::string> names{"Q1ver23p1.fp2", "Q1ver23p4.fp2", "Q1ver23p1old.fp2", "Q1ver23p4.pkt", "Q1ver9p9.fp2"};
  SortProgramNames(names);
  EXPECT_EQ(names, (std::vector<std::string>{"Q1ver9p9.fp2", "Q1ver23p4.fp2", "Q1ver23p4.pkt", "Q1ver23p1old.fp2",
                                             "Q1ver23p1.fp2"}));
  EXPECT_EQ(PidText(Text(std::string_view("QR27-52p4\0junk", 14))), "QR27-52p4");
  EXPECT_EQ(PidText(Bytes(30, 'A')), std::string(20, 'A'));
  EXPECT_EQ(ProgramNameOf("Q1-7"), "Q1");
  EXPECT_EQ(ProgramNameOf("Q1"), "Q1");
}

}  // namespace
}  // namespace tolvane::firmware
