// One plain-text mail with file attachments, as the mail client sends it: the
// addresses, the attachments in base64, the message with its header, its
// dot-stuffed body and its multipart layout.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane::net {

// A friendly name and an e-mail address. Texts are UTF-8.
struct CSMTPAddress {
  std::string name;
  std::string address;

  // "name <address>", or the address alone when there is no name.
  std::string DisplayForm() const;
};

// A file's name and content encoded in base64: 76 characters to a line, each
// line ended with CR LF, the last group padded with "=", and a CR LF after the
// last group also when the length is a multiple of three (so a file whose
// groups exactly fill the last line ends with two line ends).
class CSMTPAttachment {
 public:
  // Larger files are refused before they are read.
  static constexpr std::size_t kMaxFileBytes = 16 * 1024 * 1024;

  // Reads and encodes the regular file at `path`; the title is its name with
  // its extension. False when it does not exist, cannot be read or is too large.
  bool LoadFile(const std::filesystem::path& path);
  // Encodes `bytes` under `title` (what LoadFile does after reading).
  void SetContent(std::string title, std::string_view bytes);

  const std::string& Title() const { return title_; }
  const std::string& EncodedText() const { return encoded_; }

 private:
  std::string title_;
  std::string encoded_;
};

// The base64 text of `bytes` in the attachment's line layout.
std::string EncodeBase64Lines(std::string_view bytes);

class CSMTPMessage {
 public:
  enum RecipientList : int { TO = 0, CC = 1, BCC = 2 };

  static constexpr const char* kBoundary = "#BOUNDARY#";

  CSMTPAddress sender;
  std::string subject;
  std::string mailer = "CSMTPConnection v1.3";
  CSMTPAddress replyTo;

  void AppendRecipient(const CSMTPAddress& address, int list = TO);
  int RecipientCount(int list) const;
  const CSMTPAddress& RecipientAt(int index, int list) const;

  // Keeps the body; Body() gives it dot-stuffed: every line feed followed by
  // "." gets a second ".", the body's very first character is left alone.
  void SetBody(std::string body);
  std::string Body() const;
  // The body as the text the mail carries, as typed.
  const std::string& RawBody() const { return body_; }

  // The attachment is not owned: it must outlive the message.
  void AppendAttachment(const CSMTPAttachment& attachment);
  const std::vector<const CSMTPAttachment*>& Attachments() const { return attachments_; }

  // The header for the local time `local` (its tm_gmtoff gives the zone):
  // From, To, Cc (only with Cc recipients), Subject, Date, X-Mailer, Reply-To
  // (only with a reply-to address), the MIME lines and the empty line. Bcc
  // recipients never appear.
  std::string BuildHeader(const std::tm& local) const;
  // The header for now.
  std::string BuildHeader() const;

  // True when no address, name, subject, mailer or attachment title holds a
  // line break or a NUL, which would add header lines or commands.
  bool FieldsAreSingleLines() const;

 private:
  std::vector<CSMTPAddress> recipients_[3];
  std::string body_;
  std::vector<const CSMTPAttachment*> attachments_;
};

// The zone text of a local time `gmtoffSeconds` east of UTC: "+0530",
// "-0500", "-0330".
std::string ZoneText(long gmtoffSeconds);

}  // namespace tolvane::net
