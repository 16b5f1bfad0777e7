// The three kinds of program file: an encrypted image (".fep") sent as it
// stands, a packet file (".pkt") of ready-made command frames, and a combined
// file (".fp2") of records (PID, FEP, PKT, CRC). Reading is bounded: sizes
// from a file are checked against what the file holds before anything is
// allocated or read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane::firmware {

// One less than the 128 KiB transfer buffer.
inline constexpr std::size_t kMaxProgramFile = 131071;
inline constexpr std::size_t kTransferBuffer = 131072;
// A frame with its checksum and trailing zero fits 108 bytes.
inline constexpr std::size_t kFrameBuffer = 108;
inline constexpr std::size_t kMaxFrameLength = 104;
// Bytes other than 0xA5 skipped between frames, at most.
inline constexpr std::size_t kMaxSkipped = 99;
inline constexpr std::size_t kMaxPidBody = 100;
inline constexpr std::size_t kPidTextChars = 20;
inline constexpr std::size_t kCopyPiece = 100;

// Record tags: three capital letters and a zero byte, little-endian.
enum : std::uint32_t {
  TAG_PID = 0x00444950u,
  TAG_FEP = 0x00504546u,
  TAG_PKT = 0x00544B50u,
  TAG_CRC = 0x00435243u,
};

std::uint32_t ReadLe32(const std::uint8_t* p);
void PutLe32(std::uint8_t* p, std::uint32_t v);
// "PID", or the tag's four bytes shown as hex when they are not letters.
std::string TagName(std::uint32_t tag);

// One frame of a packet file, as it is to be sent: length L, command code and
// L-1 payload bytes (the stored checksum is not kept).
struct PACKET_FRAME {
  std::uint8_t length = 0;
  std::uint8_t code = 0;
  std::vector<std::uint8_t> payload;
  std::size_t consumed = 0;  // bytes of the file taken, skipped ones included
};

enum class FrameTake {
  Frame,      // `frame` holds the next frame
  End,        // no complete frame: end of data, 100 bytes without 0xA5, or a cut frame
  BadLength,  // a length byte of 0 or over 104: the file is refused
};

// Takes the frame that starts at or after `pos` (skipping at most 99 bytes
// that are not 0xA5) and moves `pos` past it.
FrameTake TakePacketFrame(std::span<const std::uint8_t> data, std::size_t& pos, PACKET_FRAME& frame);

// Program identification: the PID body as text of at most 20 characters
// (up to a zero byte), and its program name (the part before the first "-").
std::string PidText(std::span<const std::uint8_t> body);
std::string ProgramNameOf(std::string_view pidText);
// The PID text of a file whose first record is "PID" (body read up to 100
// bytes); false for any other file, one that cannot be read, or a cut body.
bool ReadFirstPid(const std::filesystem::path& path, std::string& pidText);

// ---------------------------------------------------------------- combined file

// Codes of the combined procedure.
enum : int {
  COMBINED_NO_CONNECTION = -1,
  COMBINED_OPEN_OR_TAG = -3,  // not openable, or an unknown tag
  COMBINED_INVALID = -4,      // CRC mismatch, or a file that is not whole (below)
  COMBINED_SPLIT = -5,        // short header, temporary file, unreadable body, long PID
};

// Why the verification pass refused a file (all but Ok and CannotOpen and
// UnknownTag give COMBINED_INVALID: the file is shown as invalid).
enum class VerifyFault {
  Ok,
  CannotOpen,   // -3
  UnknownTag,   // -3
  CrcMismatch,  // -4
  // A file that ends inside a record or before any CRC record cannot carry a
  // valid CRC: -4, "File is invalid!".
  Truncated,
  // A CRC record whose body is not 4 bytes: no CRC can be read from it; -4.
  BadCrcLength,
};

struct COMBINED_RECORD {
  std::uint32_t tag = 0;
  std::uint32_t length = 0;
  std::uint64_t offset = 0;  // of the header in the file
  bool covered = false;      // before the CRC record
};

struct VERIFY_RESULT {
  VerifyFault fault = VerifyFault::Ok;
  int code = 0;  // 0, -3 or -4
  std::uint32_t stored = 0;
  std::uint32_t computed = 0;
  std::vector<COMBINED_RECORD> records;  // the records read, up to the fault
};

// The verification pass over an open file (read in pieces of at most 100
// bytes; nothing of a body is kept).
VERIFY_RESULT VerifyCombined(std::FILE* file);
VERIFY_RESULT VerifyCombinedFile(const std::filesystem::path& path);

// All records of a combined file (headers only, for listings); stops at the
// first header whose body the file does not hold.
std::vector<COMBINED_RECORD> ListCombinedRecords(const std::filesystem::path& path, bool& whole);

// A combined file from its parts: the PID record, the FEP and PKT bodies in
// the order given, the CRC record. Empty when a part is too long.
struct PACK_PART {
  std::uint32_t tag = TAG_FEP;  // TAG_FEP or TAG_PKT
  std::vector<std::uint8_t> body;
};
std::vector<std::uint8_t> PackCombined(std::string_view pid, const std::vector<PACK_PART>& parts);

// ---------------------------------------------------------------- file names

// The kind of run a path starts: ".fp2" anywhere, else ".pkt", else ".fep".
enum class RunKind { None, Combined, Packet, Encrypted };
RunKind RunKindOf(std::string_view path);

// Update Sensor's checks of the path; the language key of the fault, or "".
// The file's existence (ERROR_MESSAGE70) is checked by the caller.
std::string CheckProgramPath(std::string_view path);

// "Q1ver23p1.fp2" gives "23p1"; the text after the first "ver" of the name
// without its extension (from the third character when there is none), lower case.
std::string VersionText(std::string_view fileName);
// "X10p5ver23p1.fp2" gives "10.5M".
std::string RangeText(std::string_view fileName);
// "23p1" gives 23.1; texts of 6 or more characters give 0.
double VersionNumber(std::string_view versionText);
// What Select Program lists for a name: range, "  Version: ", version with "p" as ".".
std::string ProgramItemText(std::string_view fileName);
// Newest first by version text; equal versions keep their order.
void SortProgramNames(std::vector<std::string>& names);

}  // namespace tolvane::firmware
