// Arbitrary bytes from a mail server through the mail client's reply reader:
// a whole conversation (greeting, HELO, the mail, QUIT) against a server that
// sends the input, in chunks and with pauses, over simulated time.
//
// Input: byte 0 picks the chunk size (1..64 bytes), byte 1 the pause between
// chunks (0..2550 ms in steps of 10); the rest is what the server sends.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "common/Clock.h"
#include "net/SmtpConnection.h"

namespace {

using namespace tolvane;
using namespace tolvane::net;

class FuzzSocket final : public ISmtpSocket {
 public:
  FuzzSocket(SimulatedClock& clock, std::string bytes, std::size_t chunk, std::chrono::milliseconds pause)
      : clock_(clock), bytes_(std::move(bytes)), chunk_(chunk), pause_(pause), next_(clock.now()) {}
  int Connect(const std::string&, int) override {
    open_ = true;
    return SMTP_OK;
  }
  bool Send(std::string_view) override { return open_; }
  int WaitReadable(std::chrono::milliseconds limit) override {
    if (!open_) {
      return -1;
    }
    if (at_ >= bytes_.size() || next_ <= clock_.now()) {
      return 1;
    }
    if (next_ <= clock_.now() + limit) {
      clock_.sleep_until(next_);
      return 1;
    }
    clock_.sleep_for(limit);
    return 0;
  }
  long Receive(char* buffer, std::size_t size) override {
    if (!open_ || at_ >= bytes_.size()) {
      return 0;
    }
    const std::size_t n = std::min({size, chunk_, bytes_.size() - at_});
    std::copy_n(bytes_.data() + at_, n, buffer);
    at_ += n;
    next_ = clock_.now() + pause_;
    return static_cast<long>(n);
  }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }

 private:
  SimulatedClock& clock_;
  std::string bytes_;
  std::size_t chunk_;
  std::chrono::milliseconds pause_;
  IClock::time_point next_;
  std::size_t at_ = 0;
  bool open_ = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) {
    return 0;
  }
  const std::size_t chunk = 1 + data[0] % 64;
  const auto pause = std::chrono::milliseconds(10 * data[1]);
  SimulatedClock clock;
  const std::string bytes(reinterpret_cast<const char*>(data) + 2, size - 2);
  CSMTPConnection connection(clock, std::make_unique<FuzzSocket>(clock, bytes, chunk, pause));
  if (connection.Open("server", 25)) {
    CSMTPMessage message;
    message.sender = {"Fuzz", "fuzz@example.org"};
    message.AppendRecipient({"", "to@example.org"});
    message.SetBody("body\n.\n");
    connection.Transmit(message);
  }
  connection.Close();
  // What the reader keeps is bounded, whatever the server sent.
  if (connection.LastResponse().size() > CSMTPConnection::kMaxReplyBytes) {
    __builtin_trap();
  }
  ReplyCode(bytes);
  CompleteReplyLength(bytes);
  return 0;
}
