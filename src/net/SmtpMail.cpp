#include "net/SmtpMail.h"

#include <cstdlib>

#include "common/CheckedFormat.h"
#include "common/FileSystem.h"

namespace tolvane::net {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::size_t kLineCharacters = 76;

bool SingleLine(std::string_view s) { return s.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos; }

bool SingleLine(const CSMTPAddress& a) { return SingleLine(a.name) && SingleLine(a.address); }

std::string JoinDisplayForms(const std::vector<CSMTPAddress>& list) {
  std::string out;
  for (const CSMTPAddress& a : list) {
    if (!out.empty()) {
      out += ',';
    }
    out += a.DisplayForm();
  }
  return out;
}

}  // namespace

std::string CSMTPAddress::DisplayForm() const { return name.empty() ? address : Format("%s <%s>", name, address); }

std::string EncodeBase64Lines(std::string_view bytes) {
  std::string out;
  const std::size_t groups = (bytes.size() + 2) / 3;
  out.reserve(groups * 4 + 2 * (groups * 4 / kLineCharacters) + 3);
  auto byte = [&bytes](std::size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[i])); };
  std::size_t i = 0;
  std::size_t onLine = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const unsigned v = (byte(i) << 16) | (byte(i + 1) << 8) | byte(i + 2);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
    onLine += 4;
    if (onLine == kLineCharacters) {
      out += "\r\n";
      onLine = 0;
    }
  }
  const std::size_t rest = bytes.size() - i;
  if (rest == 1) {
    const unsigned v = byte(i) << 16;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += "==";
  } else if (rest == 2) {
    const unsigned v = (byte(i) << 16) | (byte(i + 1) << 8);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += '=';
  }
  out += "\r\n";
  return out;
}

bool CSMTPAttachment::LoadFile(const std::filesystem::path& path) {
  std::string bytes;
  if (ReadFileBounded(path, kMaxFileBytes, bytes) != ReadResult::Ok) {
    return false;
  }
  SetContent(path.filename().string(), bytes);
  return true;
}

void CSMTPAttachment::SetContent(std::string title, std::string_view bytes) {
  title_ = std::move(title);
  encoded_ = EncodeBase64Lines(bytes);
}

void CSMTPMessage::AppendRecipient(const CSMTPAddress& address, int list) {
  if (list >= TO && list <= BCC) {
    recipients_[list].push_back(address);
  }
}

int CSMTPMessage::RecipientCount(int list) const {
  return list >= TO && list <= BCC ? static_cast<int>(recipients_[list].size()) : 0;
}

const CSMTPAddress& CSMTPMessage::RecipientAt(int index, int list) const {
  return recipients_[list].at(static_cast<std::size_t>(index));
}

void CSMTPMessage::SetBody(std::string body) { body_ = std::move(body); }

std::string CSMTPMessage::Body() const {
  std::string out;
  out.reserve(body_.size() + 16);
  for (std::size_t i = 0; i < body_.size(); ++i) {
    out += body_[i];
    if (body_[i] == '\n' && i + 1 < body_.size() && body_[i + 1] == '.') {
      out += '.';
    }
  }
  return out;
}

void CSMTPMessage::AppendAttachment(const CSMTPAttachment& attachment) { attachments_.push_back(&attachment); }

std::string ZoneText(long gmtoffSeconds) {
  // The bias in minutes, UTC minus local, as the platform gives it.
  const long bias = -gmtoffSeconds / 60;
  const long magnitude = std::labs(bias);
  return Format("%s%02d%02d", bias > 0 ? "-" : "+", magnitude / 60, magnitude % 60);
}

std::string CSMTPMessage::BuildHeader(const std::tm& local) const {
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::string date = Format("%s, %02d %s %04d %02d:%02d:%02d ", kDays[((local.tm_wday % 7) + 7) % 7],
                                  local.tm_mday, kMonths[((local.tm_mon % 12) + 12) % 12], local.tm_year + 1900,
                                  local.tm_hour, local.tm_min, local.tm_sec) +
                           ZoneText(local.tm_gmtoff);
  const std::string to = JoinDisplayForms(recipients_[TO]);
  const std::string cc = JoinDisplayForms(recipients_[CC]);
  std::string header;
  if (!cc.empty()) {
    header = Format("From: %s\r\nTo: %s\r\nCc: %s\r\nSubject: %s\r\nDate: %s\r\nX-Mailer: %s\r\n", sender.DisplayForm(),
                    to, cc, subject, date, mailer);
  } else {
    header = Format("From: %s\r\nTo: %s\r\nSubject: %s\r\nDate: %s\r\nX-Mailer: %s\r\n", sender.DisplayForm(), to,
                    subject, date, mailer);
  }
  if (!replyTo.address.empty()) {
    header += Format("Reply-To: %s\r\n", replyTo.DisplayForm());
  }
  if (!attachments_.empty()) {
    header += Format("MIME-Version: 1.0\r\nContent-type: multipart/mixed; boundary=\"%s\"\r\n", kBoundary);
  } else {
    header += "MIME-Version: 1.0\r\nContent-type: text/plain; charset=US-ASCII\r\n";
  }
  header += "\r\n";
  return header;
}

std::string CSMTPMessage::BuildHeader() const {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return BuildHeader(local);
}

bool CSMTPMessage::FieldsAreSingleLines() const {
  if (!SingleLine(sender) || !SingleLine(replyTo) || !SingleLine(subject) || !SingleLine(mailer)) {
    return false;
  }
  for (const auto& list : recipients_) {
    for (const CSMTPAddress& a : list) {
      if (!SingleLine(a)) {
        return false;
      }
    }
  }
  for (const CSMTPAttachment* a : attachments_) {
    if (!SingleLine(a->Title())) {
      return false;
    }
  }
  return true;
}

}  // namespace tolvane::net
