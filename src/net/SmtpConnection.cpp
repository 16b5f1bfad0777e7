#include "net/SmtpConnection.h"

#include <unistd.h>

#include <algorithm>
#include <array>

#include "common/CheckedFormat.h"
#include "common/Encoding.h"

namespace tolvane::net {
namespace {

using std::chrono::milliseconds;

// The computer's own name for HELO, at most 100 bytes.
std::string LocalHostName() {
  std::array<char, 101> name{};
  if (::gethostname(name.data(), name.size() - 1) != 0 || name[0] == '\0') {
    return "localhost";
  }
  return std::string(name.data());
}

// `text` with every line end (CR LF, a lone LF or a lone CR) as CR LF.
std::string CrLfLines(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32 + 2);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      out += "\r\n";
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
        ++i;
      }
    } else {
      out += c;
    }
  }
  return out;
}

// SMTP's transparency: a line that begins with "." gets a second one, so no
// line of the mail can end it early.
std::string DotStuffed(std::string_view crlfText) {
  std::string out;
  out.reserve(crlfText.size() + 16);
  bool lineStart = true;
  for (std::size_t i = 0; i < crlfText.size(); ++i) {
    if (lineStart && crlfText[i] == '.') {
      out += '.';
    }
    out += crlfText[i];
    lineStart = crlfText[i] == '\n' && i > 0 && crlfText[i - 1] == '\r';
  }
  return out;
}

std::string HexByte(unsigned char c) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  return {'=', kHex[c >> 4], kHex[c & 15]};
}

}  // namespace

int ReplyCode(std::string_view reply) {
  if (reply.size() < 3) {
    return 0;
  }
  int code = 0;
  for (std::size_t i = 0; i < 3; ++i) {
    if (reply[i] < '0' || reply[i] > '9') {
      return 0;
    }
    code = code * 10 + (reply[i] - '0');
  }
  return code;
}

std::size_t CompleteReplyLength(std::string_view received) {
  std::size_t start = 0;
  while (true) {
    const std::size_t end = received.find("\r\n", start);
    if (end == std::string_view::npos) {
      return 0;
    }
    const std::string_view line = received.substr(start, end - start);
    start = end + 2;
    if (!(line.size() >= 4 && ReplyCode(line) != 0 && line[3] == '-')) {
      return start;
    }
  }
}

std::string QuotedPrintable(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8 + 4);
  std::size_t lineLength = 0;
  auto put = [&out, &lineLength](const std::string& piece) {
    // A soft break keeps every line at 76 characters at most, its "=" included.
    if (lineLength + piece.size() > 75) {
      out += "=\r\n";
      lineLength = 0;
    }
    out += piece;
    lineLength += piece.size();
  };
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c == '\r' || c == '\n') {
      out += "\r\n";
      lineLength = 0;
      if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
        ++i;
      }
      continue;
    }
    const bool lineEnds = i + 1 == bytes.size() || bytes[i + 1] == '\r' || bytes[i + 1] == '\n';
    if ((c == ' ' || c == '\t') && !lineEnds) {
      put(std::string(1, static_cast<char>(c)));
    } else if (c >= 33 && c <= 126 && c != '=') {
      put(std::string(1, static_cast<char>(c)));
    } else {
      put(HexByte(c));
    }
  }
  return out;
}

std::string MailDataText(const CSMTPMessage& message, const std::tm& local) {
  std::string text = message.BuildHeader(local);
  const auto& attachments = message.Attachments();
  if (attachments.empty()) {
    text += CrLfLines(message.RawBody());
  } else {
    // The body part says what it carries: quoted-printable Windows-1252 text.
    text += Format(
        "\r\n--%s\r\nContent-Type: text/plain; charset=windows-1252\r\nContent-Transfer-Encoding: "
        "quoted-printable\r\n\r\n",
        CSMTPMessage::kBoundary);
    text += QuotedPrintable(Utf8ToCp1252(message.RawBody()));
    for (const CSMTPAttachment* a : attachments) {
      text += Format(
          "\r\n\r\n--%s\r\nContent-Type: application/octet-stream; name=%s\r\nContent-Transfer-Encoding: "
          "base64\r\nContent-Disposition: attachment; filename=%s\r\n\r\n",
          CSMTPMessage::kBoundary, a->Title(), a->Title());
      text += a->EncodedText();
    }
    text += Format("\r\n--%s--", CSMTPMessage::kBoundary);
  }
  // The header goes out in Windows-1252; the rest is ASCII by now.
  return DotStuffed(Utf8ToCp1252(text));
}

CSMTPConnection::CSMTPConnection(IClock& clock, std::unique_ptr<ISmtpSocket> socket)
    : clock_(clock), socket_(socket != nullptr ? std::move(socket) : std::make_unique<CSMTPSocket>()) {}

CSMTPConnection::~CSMTPConnection() { Close(); }

bool CSMTPConnection::Fail(int error) {
  lastError_ = error;
  // After a time-out or a broken line the conversation is out of step: a QUIT
  // would only wait for another time-out.
  if (error == SMTP_ERROR_TIMED_OUT || error == SMTP_ERROR_CLOSED || error == SMTP_ERROR_SEND ||
      error == SMTP_ERROR_REPLY_TOO_LONG) {
    broken_ = true;
  }
  return false;
}

bool CSMTPConnection::SendText(std::string_view text) {
  if (!socket_->Send(text)) {
    return Fail(SMTP_ERROR_SEND);
  }
  return true;
}

bool CSMTPConnection::Command(const std::string& text, int expected, bool badCommandOnWrongReply) {
  if (!SendText(Utf8ToCp1252(text))) {
    return false;
  }
  if (!ReadReply(expected)) {
    if (badCommandOnWrongReply && lastError_ == SMTP_ERROR_WRONG_REPLY) {
      lastError_ = SMTP_ERROR_BAD_COMMAND;
    }
    return false;
  }
  return true;
}

bool CSMTPConnection::Open(const std::string& host, int port) {
  Close();
  broken_ = false;
  pending_.clear();
  lastResponse_.clear();
  lastCode_ = 0;
  if (const int rc = socket_->Connect(host, port); rc != SMTP_OK) {
    return Fail(rc);
  }
  connected_ = true;
  if (!ReadReply(220) || !Command(Format("HELO %s\r\n", LocalHostName()), 250, false)) {
    // The failure, not the QUIT's result, is what the caller is told.
    const int error = lastError_;
    const std::string response = lastResponse_;
    const int code = lastCode_;
    Close();
    lastResponse_ = response;
    lastCode_ = code;
    return Fail(error);
  }
  return true;
}

bool CSMTPConnection::ReadReply(int expected) {
  std::string received = std::move(pending_);
  pending_.clear();
  std::array<char, 4096> chunk{};
  auto lastData = clock_.now();
  std::size_t length = 0;
  while ((length = CompleteReplyLength(received)) == 0) {
    if (received.size() > kMaxReplyBytes) {
      lastResponse_ = received.substr(0, kMaxReplyBytes);
      return Fail(SMTP_ERROR_REPLY_TOO_LONG);
    }
    const auto waited = std::chrono::duration_cast<milliseconds>(clock_.now() - lastData);
    if (waited > timeout_) {
      lastResponse_ = received;
      return Fail(SMTP_ERROR_TIMED_OUT);
    }
    // Wait at most until the time-out would be over; data ends the wait at once.
    const milliseconds slice = std::min(kPollSlice, timeout_ - waited + milliseconds(1));
    const int ready = socket_->WaitReadable(slice);
    if (ready < 0) {
      lastResponse_ = received;
      return Fail(SMTP_ERROR_CLOSED);
    }
    if (ready == 0) {
      continue;
    }
    const long n = socket_->Receive(chunk.data(), chunk.size());
    if (n <= 0) {
      lastResponse_ = received;
      return Fail(SMTP_ERROR_CLOSED);
    }
    received.append(chunk.data(), static_cast<std::size_t>(n));
    lastData = clock_.now();
  }
  pending_ = received.substr(length);
  received.resize(length - 2);
  lastCode_ = ReplyCode(received);
  if (lastCode_ != expected) {
    lastResponse_ = received;
    return Fail(SMTP_ERROR_WRONG_REPLY);
  }
  return true;
}

bool CSMTPConnection::Transmit(const CSMTPMessage& message) {
  if (!connected_) {
    return Fail(SMTP_ERROR_NOT_CONNECTED);
  }
  if (!message.FieldsAreSingleLines()) {
    return Fail(SMTP_ERROR_INVALID_FIELD);
  }
  if (!Command(Format("MAIL FROM:<%s>\r\n", message.sender.address), 250, true)) {
    return false;
  }
  for (int list = CSMTPMessage::TO; list <= CSMTPMessage::BCC; ++list) {
    for (int i = 0; i < message.RecipientCount(list); ++i) {
      if (!Command(Format("RCPT TO:<%s>\r\n", message.RecipientAt(i, list).address), 250, true)) {
        return false;
      }
    }
  }
  if (!Command("DATA\r\n", 354, true)) {
    return false;
  }
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  if (!SendText(MailDataText(message, local))) {
    return false;
  }
  return Command("\r\n.\r\n", 250, true);
}

bool CSMTPConnection::Close() {
  bool ok = true;
  if (connected_ && !broken_) {
    ok = Command("QUIT\r\n", 221, true);
  }
  connected_ = false;
  socket_->Close();
  return ok;
}

}  // namespace tolvane::net
