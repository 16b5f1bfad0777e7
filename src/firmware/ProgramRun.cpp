#include "firmware/ProgramRun.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <memory>

#include "common/FileSystem.h"

namespace tolvane::firmware {

namespace {

using namespace std::chrono_literals;

constexpr auto kFinishWait = 100ms;
constexpr auto kReadyPause = 100ms;
constexpr int kEraseAttempts = 5;
constexpr int kReadyTries = 3;

enum class Load { Ok, CannotOpen, TooLarge, Empty };

// A whole program file of at most 131071 bytes into the transfer buffer.
Load LoadProgramFile(const std::filesystem::path& path, std::vector<std::uint8_t>& buffer) {
  std::string bytes;
  switch (ReadFileBounded(path, kMaxProgramFile, bytes)) {
    case ReadResult::Ok:
      break;
    case ReadResult::TooLarge:
      return Load::TooLarge;
    default:
      return Load::CannotOpen;
  }
  if (bytes.empty()) {
    return Load::Empty;
  }
  buffer.reserve(kTransferBuffer);
  buffer.assign(bytes.begin(), bytes.end());
  return Load::Ok;
}

// A temporary file of the combined run, written while its record is copied.
class TempFile {
 public:
  // Replaces a file of the same name left by an earlier run; the new file is
  // created exclusively and never through a symbolic link.
  explicit TempFile(std::filesystem::path path) : path_(std::move(path)) {
    std::error_code ec;
    if (std::filesystem::is_symlink(path_, ec) || std::filesystem::is_regular_file(path_, ec)) {
      std::filesystem::remove(path_, ec);
    }
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  }
  ~TempFile() {
    if (fd_ >= 0) {
      // Still being written: the copy failed.
      ::close(fd_);
      std::error_code ec;
      std::filesystem::remove(path_, ec);
    }
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  bool Write(const std::uint8_t* bytes, std::size_t count) {
    while (count > 0) {
      const ssize_t n = ::write(fd_, bytes, count);
      if (n < 0 && errno == EINTR) {
        continue;
      }
      if (n <= 0) {
        return false;
      }
      bytes += n;
      count -= static_cast<std::size_t>(n);
    }
    return true;
  }
  bool Close() {
    const int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0;
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  int fd_ = -1;
};

}  // namespace

void CProgramRunner::Progress(int value) {
  lastProgress_ = value;
  ++counts_.progressReports;
  if (t_.events != nullptr) {
    t_.events->OnProgress(value);
  }
}

void CProgramRunner::StepProgress(int start, int end, std::size_t done, std::size_t total) {
  if (total == 0) {
    return;
  }
  const auto p = static_cast<int>(start + static_cast<long long>(end - start) * static_cast<long long>(done) /
                                              static_cast<long long>(total));
  if (p > lastProgress_) {
    Progress(p);
  }
}

void CProgramRunner::Log(const char* tag, std::string_view text) {
  if (t_.log != nullptr) {
    t_.log->Write(tag, "%s", std::string(text));
  }
  if (t_.events != nullptr) {
    t_.events->OnLogLine(tag, text);
  }
}

std::string CProgramRunner::Text(const char* key) const {
  std::string text;
  if (t_.catalogue == nullptr || !t_.catalogue->Lookup(key, t_.language, text)) {
    text = key;
  }
  return text;
}

void CProgramRunner::ShowError(const char* tag, const char* key) {
  const std::string text = Text(key);
  if (t_.messages != nullptr) {
    t_.messages->Show(text, MB_ERROR);
  }
  Log(tag, text);
}

int CProgramRunner::Erase(int& last) {
  std::array<std::uint8_t, kFrameBuffer> frame{};
  for (int attempt = 1; attempt <= kEraseAttempts; ++attempt) {
    ++counts_.eraseAttempts;
    last = t_.link->ExecuteCommand(1, link::CMD_ERASE_PROGRAM, frame, 0);
    if (last == 0) {
      return 0;
    }
    if (attempt == kEraseAttempts - 1) {
      if (t_.messages != nullptr) {
        t_.messages->Show("Erase flash retry", MB_PLAIN);
      }
      t_.link->ExecuteCommand(1, link::CMD_END_PROGRAMMING, frame, 0);
    }
  }
  return last;
}

int CProgramRunner::WriteEncryptedProgram(const std::filesystem::path& path, int start, int end) {
  const char* tag = kTagEncrypted;
  std::array<std::uint8_t, kFrameBuffer> frame{};
  int last = 0;
  const auto error = [&](const char* key) {
    t_.link->ExecuteCommand(1, link::CMD_END_PROGRAMMING, frame, 0);
    ShowError(tag, key);
    return last != 0 ? last : kFileRefused;
  };
  Log(tag, "Programming started");
  Progress(start);
  std::vector<std::uint8_t> image;
  switch (LoadProgramFile(path, image)) {
    case Load::CannotOpen:
      return error("ERROR_MESSAGE79");
    case Load::TooLarge:
      return error("ERROR_MESSAGE80");
    case Load::Empty:
      // Nothing to program: the flash is not erased for it.
      return error("FIRMWARE_MESSAGE2");
    case Load::Ok:
      break;
  }
  Log(tag, "File " + path.string() + " Open");
  t_.link->FlushQueues();
  last = t_.link->ExecuteCommand(1, link::CMD_SYNC, frame, 0);
  if (last != 0) {
    return error("ERROR_MESSAGE81");
  }
  if (Erase(last) != 0) {
    return error("ERROR_MESSAGE65");
  }
  Log(tag, "Downloading Program");
  for (std::size_t sent = 0; sent < image.size();) {
    const std::size_t n = std::min<std::size_t>(64, image.size() - sent);
    frame.fill(0xFF);  // the tail of the last packet carries no file data
    frame[0] = link::kFrameStart;
    frame[1] = 0x41;
    frame[2] = link::CMD_PROGRAM_DATA;
    std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(sent), n, frame.begin() + 3);
    ++counts_.dataPackets;
    last = t_.link->ExecuteCommand(65, link::CMD_PROGRAM_DATA, frame, 0);
    if (last != 0) {
      // A packet the unit refused is not in its flash: the image would be
      // incomplete, so the run stops here.
      return error("ERROR_MESSAGE83");
    }
    bool ready = false;
    for (int attempt = 0; attempt < kReadyTries && !ready; ++attempt) {
      std::array<std::uint8_t, 8> reply{};
      last = t_.link->ReceiveFrame(reply, 4, 0);
      ready = last >= 4 && std::equal(link::kReadyFrame.begin(), link::kReadyFrame.end(), reply.begin());
      if (!ready) {
        t_.clock->sleep_for(kReadyPause);
      }
    }
    if (!ready) {
      return error("ERROR_MESSAGE83");
    }
    sent += n;
    StepProgress(start, end, sent, image.size());
  }
  Log(tag, "Programming Completed");
  return 0;
}

int CProgramRunner::WritePacketProgram(const std::filesystem::path& path, int start, int end, bool erase) {
  const char* tag = kTagPacket;
  std::array<std::uint8_t, kFrameBuffer> frame{};
  int last = 0;
  const auto error = [&](const char* key) {
    ShowError(tag, key);
    return last != 0 ? last : kFileRefused;
  };
  Log(tag, "Programming started");
  Progress(start);
  std::vector<std::uint8_t> data;
  switch (LoadProgramFile(path, data)) {
    case Load::CannotOpen:
      return error("ERROR_MESSAGE88");
    case Load::TooLarge:
      return error("ERROR_MESSAGE85");
    case Load::Empty:
      return error("FIRMWARE_MESSAGE2");
    case Load::Ok:
      break;
  }
  Log(tag, "File " + path.string() + " Open");
  last = t_.link->ExecuteCommand(1, link::CMD_SYNC, frame, 0);
  if (last != 0) {
    return error("ERROR_MESSAGE81");
  }
  Log(tag, "Erasing Program Flash");
  if (erase && Erase(last) != 0) {
    return error("ERROR_MESSAGE86");
  }
  Log(tag, "Downloading Program");
  std::size_t pos = 0;
  PACKET_FRAME packet;
  for (;;) {
    const FrameTake take = TakePacketFrame(data, pos, packet);
    if (take == FrameTake::End) {
      break;
    }
    if (take == FrameTake::BadLength) {
      // A length the 108-byte frame buffer cannot hold: the file is refused.
      return error("FIRMWARE_MESSAGE1");
    }
    std::copy(packet.payload.begin(), packet.payload.end(), frame.begin() + 3);
    ++counts_.frames;
    last = t_.link->ExecuteCommand(packet.length, packet.code, frame, 0);
    const std::uint8_t p1 = packet.payload.empty() ? 0 : packet.payload[0];
    switch (packet.code) {
      case link::CMD_VERIFY_CRC:
        if (last != 0) {
          return error("ERROR_MESSAGE87");
        }
        Log(tag, "CRC verified");
        break;
      case link::CMD_ERASE_SCRATCH:
        if (last != 0) {
          return error("ERROR_MESSAGE88");
        }
        Log(tag, "Scratch Erased");
        break;
      case link::CMD_WRITE_SCRATCH: {
        if (last != 0) {
          return error("ERROR_MESSAGE90");
        }
        Log(tag, "Write Data Packet OK");
        std::array<std::uint8_t, 8> reply{};
        last = t_.link->ReceiveFrame(reply, 5, 0);
        if (last < 4) {
          return error("ERROR_MESSAGE91");
        }
        if (reply[2] != 0x10) {
          return error("ERROR_MESSAGE92");
        }
        last = 0;
        break;
      }
      case link::CMD_COPY_SCRATCH:
        if (last != 0) {
          return error("ERROR_MESSAGE93");
        }
        if (p1 == 1) {
          Log(tag, "Write Customer Data Target OK");
        } else if (p1 == 2) {
          Log(tag, "Write Factory Data Target OK");
        }
        break;
      case link::CMD_ERASE_HISTORY:
        if (last != 0) {
          return error("ERROR_MESSAGE94");
        }
        Log(tag, "History Erased");
        break;
      default:
        break;
    }
    if (last != 0) {
      return error("ERROR_MESSAGE95");
    }
    StepProgress(start, end, pos, data.size());
  }
  Log(tag, "Programming Completed");
  return 0;
}

int CProgramRunner::Fail(int result) {
  t_.link->CloseLink();
  Progress(0);
  return Finish(result);
}

int CProgramRunner::Finish(int result) {
  if (t_.events != nullptr) {
    if (result != 0) {
      (void)t_.events->OnSafePoint();
    }
    t_.events->OnFinish(result);
  }
  t_.clock->sleep_for(kFinishWait);
  return result;
}

int CProgramRunner::RunEncrypted() {
  Progress(0);
  if (t_.link->ConnectUnit() != 0) {
    return Fail(-1);
  }
  t_.link->FlushQueues();
  Progress(10);
  if (const int r = WriteEncryptedProgram(t_.filePath, 30, 990); r != 0) {
    return Fail(r);
  }
  Progress(1000);
  return Finish(0);
}

int CProgramRunner::RunPacket() {
  Progress(0);
  if (t_.link->ConnectUnit() != 0) {
    return Fail(-1);
  }
  Progress(10);
  if (const int r = WritePacketProgram(t_.filePath, 30, 990, true); r != 0) {
    return Fail(-r);
  }
  Progress(1000);
  return Finish(0);
}

int CProgramRunner::RunCombined() {
  const char* tag = kTagCombined;
  const std::string combined = t_.filePath;
  Progress(0);
  if (t_.link->ConnectUnit() != 0) {
    return Fail(COMBINED_NO_CONNECTION);
  }
  Log(tag, "Port Open");
  Progress(10);
  Log(tag, "Pilot Received");
  std::error_code ec;
  FilePtr file;
  if (std::filesystem::is_regular_file(combined, ec)) {
    file.reset(std::fopen(combined.c_str(), "rb"));
  }
  if (file == nullptr) {
    return Fail(COMBINED_OPEN_OR_TAG);
  }
  Log(tag, "File " + combined + " open");
  const VERIFY_RESULT verify = VerifyCombined(file.get());
  switch (verify.fault) {
    case VerifyFault::Ok:
      Log(tag, "CRC match!");
      break;
    case VerifyFault::CannotOpen:
    case VerifyFault::UnknownTag:
      return Fail(COMBINED_OPEN_OR_TAG);
    case VerifyFault::CrcMismatch:
    case VerifyFault::Truncated:
    case VerifyFault::BadCrcLength:
      if (t_.messages != nullptr) {
        t_.messages->Show("File is invalid!", MB_ERROR);
      }
      Log(tag, verify.fault == VerifyFault::CrcMismatch ? "CRC mismatch!"
               : verify.fault == VerifyFault::Truncated ? "File is incomplete!"
                                                        : "CRC record is not 4 bytes long!");
      return Fail(COMBINED_INVALID);
  }
  std::rewind(file.get());
  const int r = SplitCombined(file.get());
  file.reset();
  t_.filePath = combined;
  if (r != 0) {
    return Fail(r);
  }
  Progress(1000);
  Log(tag, "Write completed");
  return Finish(0);
}

int CProgramRunner::SplitCombined(std::FILE* file) {
  const char* tag = kTagCombined;
  std::array<std::uint8_t, kCopyPiece> piece{};
  for (;;) {
    if (t_.events != nullptr && t_.events->OnSafePoint()) {
      Log(tag, "Stopped between records");
      return kRunStopped;
    }
    std::array<std::uint8_t, 8> header{};
    const std::size_t got = std::fread(header.data(), 1, header.size(), file);
    if (got == 0 && std::feof(file) != 0) {
      return 0;  // all bytes consumed
    }
    if (got < header.size()) {
      return COMBINED_SPLIT;
    }
    const std::uint32_t recordTag = ReadLe32(header.data());
    const std::uint32_t length = ReadLe32(header.data() + 4);
    if (recordTag == TAG_PKT || recordTag == TAG_FEP) {
      const bool packet = recordTag == TAG_PKT;
      const std::filesystem::path temp = t_.programsFolder / (packet ? "temp2.pkt" : "temp1.fep");
      {
        TempFile out(temp);
        if (!out.IsOpen()) {
          return COMBINED_SPLIT;
        }
        for (std::uint32_t left = length; left > 0;) {
          const std::size_t n = std::min<std::size_t>(left, piece.size());
          const std::size_t read = std::fread(piece.data(), 1, n, file);
          if (read == 0 || !out.Write(piece.data(), read)) {
            return COMBINED_SPLIT;
          }
          left -= static_cast<std::uint32_t>(read);
        }
        if (!out.Close()) {
          std::error_code ec;
          std::filesystem::remove(temp, ec);
          return COMBINED_SPLIT;
        }
      }
      t_.filePath = temp.string();
      const int r = packet ? WritePacketProgram(temp, 980, 990, false) : WriteEncryptedProgram(temp, 30, 970);
      if (r != 0) {
        Log(tag, packet ? "Packet write error!" : "Program write error!");
        return -r;
      }
      Log(tag, packet ? "Packet write successful" : "Program write successful");
      std::error_code ec;
      std::filesystem::remove(temp, ec);
    } else if (recordTag == TAG_CRC) {
      if (std::fseek(file, static_cast<long>(length), SEEK_CUR) != 0) {
        return COMBINED_SPLIT;
      }
    } else if (recordTag == TAG_PID) {
      if (length > kMaxPidBody || std::fread(piece.data(), 1, length, file) != length) {
        return COMBINED_SPLIT;
      }
    } else {
      return COMBINED_OPEN_OR_TAG;
    }
  }
}

int CProgramRunner::Run() {
  switch (RunKindOf(t_.filePath)) {
    case RunKind::Combined:
      return RunCombined();
    case RunKind::Packet:
      return RunPacket();
    case RunKind::Encrypted:
      return RunEncrypted();
    case RunKind::None:
      break;
  }
  return Finish(COMBINED_OPEN_OR_TAG);
}

}  // namespace tolvane::firmware
