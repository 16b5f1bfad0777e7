// The mail client's conversation with the server: plain SMTP with HELO, no
// authentication, no encryption. Open greets the server, Transmit sends one
// message, Close says QUIT. Every step reports failure by its result and keeps
// the failure code and the reply that led to it.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "common/Clock.h"
#include "net/SmtpMail.h"
#include "net/SmtpSocket.h"

namespace tolvane::net {

class CSMTPConnection {
 public:
  // A reply longer than this is refused (a sane reply line has at most 512
  // bytes; a server that never ends its line must not fill the memory).
  static constexpr std::size_t kMaxReplyBytes = 64 * 1024;
  static constexpr std::chrono::milliseconds kDefaultTimeout{2000};
  // Waits for data are sliced so that the time-out is checked this often.
  static constexpr std::chrono::milliseconds kPollSlice{250};

  // `socket` is the connection to use (a CSMTPSocket when null); `clock`
  // measures the reply time-out.
  explicit CSMTPConnection(IClock& clock, std::unique_ptr<ISmtpSocket> socket = nullptr);
  // Says QUIT when still connected.
  ~CSMTPConnection();
  CSMTPConnection(const CSMTPConnection&) = delete;
  CSMTPConnection& operator=(const CSMTPConnection&) = delete;

  // Connects, reads the greeting (220) and says HELO with this computer's
  // name (250). False on any failure, with the socket closed.
  bool Open(const std::string& host, int port);
  // Sends `message`: MAIL FROM, RCPT TO for every To, Cc and Bcc recipient,
  // DATA, the header, the body and the attachments, the final dot. True when
  // the server accepted the mail. A message whose addresses, names, subject
  // or attachment titles are not single lines is refused before anything is
  // sent (SMTP_ERROR_INVALID_FIELD).
  bool Transmit(const CSMTPMessage& message);
  // Says QUIT when connected (221 expected; not after a time-out or a broken
  // line) and closes the socket in any case. The result of the QUIT exchange.
  bool Close();

  // Reads one reply (every line of a multi-line reply) and compares its code
  // with `expected`. The time-out runs from the last data received, so a slow
  // but steady server does not time out; data already there is read at once.
  bool ReadReply(int expected);

  bool Connected() const { return connected_; }
  int LastError() const { return lastError_; }
  int LastCode() const { return lastCode_; }
  // The reply that led to the last failure, without its line end.
  const std::string& LastResponse() const { return lastResponse_; }
  std::chrono::milliseconds Timeout() const { return timeout_; }
  void SetTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }

 private:
  bool SendText(std::string_view text);
  bool Command(const std::string& text, int expected, bool badCommandOnWrongReply);
  bool Fail(int error);

  IClock& clock_;
  std::unique_ptr<ISmtpSocket> socket_;
  bool connected_ = false;
  bool broken_ = false;  // a time-out or a broken line: Close says no QUIT
  std::string lastResponse_;
  int lastCode_ = 0;
  int lastError_ = SMTP_OK;
  std::chrono::milliseconds timeout_ = kDefaultTimeout;
  std::string pending_;  // bytes received after the last reply
};

// The text of the mail as it goes over the wire after DATA: the header, the
// body part and the attachments, with CR LF line ends throughout, every line
// that begins with "." doubled, in Windows-1252. Without the final dot.
std::string MailDataText(const CSMTPMessage& message, const std::tm& local);

// The body in quoted-printable, as the body part of a mail with attachments
// declares it: "=" and bytes outside printable ASCII as "=XX", lines at most
// 76 characters with soft breaks, CR LF line ends.
std::string QuotedPrintable(std::string_view bytes);

// The reply code of a reply: its first three characters as a decimal number,
// 0 when they are not three digits.
int ReplyCode(std::string_view reply);

// The length of the complete reply at the start of `received` (through the
// CR LF of its last line: a line whose code is followed by "-" is continued),
// or 0 while it is not complete.
std::size_t CompleteReplyLength(std::string_view received);

}  // namespace tolvane::net
