#include "net/SupportRequest.h"

#include <charconv>

#include "common/CheckedFormat.h"
#include "common/StdioFileEx.h"

namespace tolvane::net {
namespace {

namespace fs = std::filesystem;

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

std::string Trim(std::string_view s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) {
    return {};
  }
  return std::string(s.substr(b, s.find_last_not_of(" \t") - b + 1));
}

bool ParsePort(std::string_view text, int& port) {
  int value = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || ptr != text.data() + text.size() || value < 1 || value > 65535) {
    return false;
  }
  port = value;
  return true;
}

SUPPORT_RESULT Failure(SUPPORT_OUTCOME outcome, std::string message, const CSMTPConnection& connection) {
  return SUPPORT_RESULT{outcome, std::move(message), connection.LastError(), connection.LastResponse()};
}

}  // namespace

unsigned MissingFields(const CONTACT_RECORD& contact, std::string_view description) {
  unsigned missing = 0;
  missing |= contact.server.empty() ? MISSING_SERVER : 0u;
  missing |= contact.name.empty() ? MISSING_NAME : 0u;
  missing |= contact.phone.empty() ? MISSING_PHONE : 0u;
  missing |= contact.email.empty() ? MISSING_EMAIL : 0u;
  missing |= description.empty() ? MISSING_DESCRIPTION : 0u;
  return missing;
}

std::string IncompleteQuestion(unsigned missing, const CLanguageFile& language, int languageNumber) {
  static constexpr const char* kLines[] = {"SERVICE_MESSAGE5", "SERVICE_MESSAGE6", "SERVICE_MESSAGE7",
                                           "SERVICE_MESSAGE8", "SERVICE_MESSAGE9"};
  std::string text = language.Text("SERVICE_MESSAGE4", languageNumber) + "\n";
  for (unsigned bit = 0; bit < 5; ++bit) {
    if ((missing & (1u << bit)) != 0) {
      text += "\t" + language.Text(kLines[bit], languageNumber) + "\n";
    }
  }
  return text + language.Text("SERVICE_MESSAGE10", languageNumber);
}

bool ContactIsSingleLines(const CONTACT_RECORD& contact) {
  return !HasLineBreak(contact.server) && !HasLineBreak(contact.name) && !HasLineBreak(contact.phone) &&
         !HasLineBreak(contact.email);
}

std::string DumpText(std::span<const std::uint8_t> bytes) {
  std::string text;
  const std::size_t words = bytes.size() / 2;
  text.reserve(words / 16 * 105);
  for (std::size_t first = 0; first < words; first += 16) {
    text += Format("%04d - ", first);
    for (std::size_t w = first; w < first + 16 && w < words; ++w) {
      if (w == first + 8) {
        text += ' ';
      }
      text += Format("%05d ", bytes[2 * w] | (bytes[2 * w + 1] << 8));
    }
    text += '\n';
  }
  return text;
}

int WriteSupportDumps(const fs::path& folder, const SUPPORT_MEMORY& memory, fs::path& failed) {
  const std::span<const std::uint8_t> areas[] = {memory.info, memory.customer, memory.factory, memory.history};
  for (std::size_t i = 0; i < kDumpFiles.size(); ++i) {
    const fs::path path = folder / kDumpFiles[i];
    CStdioFileEx file;
    bool written = file.Open(path, CStdioFileEx::modeWrite | CStdioFileEx::modeCreate);
    if (written) {
      file.WriteString(DumpText(areas[i]));
      written = file.Close();
    }
    if (!written) {
      failed = path;
      return static_cast<int>(i) + 1;
    }
  }
  return 0;
}

void DeleteSupportDumps(const fs::path& folder) {
  for (const char* name : kDumpFiles) {
    std::error_code ec;
    fs::remove(folder / name, ec);
  }
}

std::string SupportBody(const CONTACT_RECORD& contact, std::string_view description) {
  return Format("CUSTOMER NAME:  %s\n", contact.name) + Format("PHONE NUMBER:  %s\n", contact.phone) +
         Format("EMAIL ADDRESS:  %s\n\n----------------\n\n", contact.email) +
         Format("PROBLEM DESCRIPTION:  %s\n", description);
}

bool ParseSupportMailbox(std::string_view value, CSMTPAddress& mailbox) {
  const auto bar = value.find('|');
  CSMTPAddress parsed;
  if (bar == std::string_view::npos) {
    parsed.address = Trim(value);
  } else {
    parsed.name = Trim(value.substr(0, bar));
    parsed.address = Trim(value.substr(bar + 1));
  }
  if (parsed.address.empty() || parsed.address.find('@') == std::string::npos || HasLineBreak(parsed.name) ||
      HasLineBreak(parsed.address)) {
    return false;
  }
  mailbox = parsed;
  return true;
}

bool SplitServer(std::string_view text, std::string& host, int& port, int defaultPort) {
  const std::string s = Trim(text);
  std::string_view v(s);
  port = defaultPort;
  if (v.starts_with('[')) {
    const auto close = v.find(']');
    if (close == std::string_view::npos) {
      return false;
    }
    host = std::string(v.substr(1, close - 1));
    const std::string_view rest = v.substr(close + 1);
    if (rest.empty()) {
      return !host.empty();
    }
    return rest.starts_with(':') && ParsePort(rest.substr(1), port) && !host.empty();
  }
  const auto colon = v.find(':');
  if (colon == std::string_view::npos || v.find(':', colon + 1) != std::string_view::npos) {
    host = s;  // a name, an IPv4 address, or a bare IPv6 address
    return !host.empty();
  }
  host = std::string(v.substr(0, colon));
  return !host.empty() && ParsePort(v.substr(colon + 1), port);
}

SUPPORT_RESULT SendSupportMail(const CONTACT_RECORD& contact, std::string_view description, const fs::path& folder,
                               const CSMTPAddress& mailbox, CSMTPConnection& connection, const CLanguageFile& language,
                               int languageNumber, const SUPPORT_PROGRESS& progress) {
  auto report = [&progress](int percent) {
    if (progress) {
      progress(percent);
    }
  };
  std::string host;
  int port = 25;
  if (!SplitServer(contact.server, host, port) || !connection.Open(host, port)) {
    return Failure(SUPPORT_OUTCOME::ConnectFailed,
                   Format(language.Text("ERROR_MESSAGE100", languageNumber), contact.server), connection);
  }
  report(20);
  CSMTPMessage message;
  message.sender = CSMTPAddress{contact.name, contact.email};
  message.AppendRecipient(mailbox, CSMTPMessage::TO);
  message.subject = Format("Tech Support for %s", contact.name);
  message.SetBody(SupportBody(contact, description));
  std::array<CSMTPAttachment, kDumpFiles.size()> attachments;
  bool loaded = true;
  for (std::size_t i = 0; i < kDumpFiles.size(); ++i) {
    loaded = loaded && attachments[i].LoadFile(folder / kDumpFiles[i]);
    message.AppendAttachment(attachments[i]);
  }
  if (!loaded || !connection.Transmit(message)) {
    SUPPORT_RESULT failure =
        Failure(SUPPORT_OUTCOME::SendFailed, language.Text("ERROR_MESSAGE101", languageNumber), connection);
    connection.Close();
    return failure;
  }
  report(90);
  connection.Close();
  DeleteSupportDumps(folder);
  report(100);
  return SUPPORT_RESULT{};
}

std::optional<SUPPORT_RESULT> WriteDumpsForRequest(const SUPPORT_MEMORY& memory, const fs::path& folder,
                                                   IMessageBox& messages, const CLanguageFile& language,
                                                   int languageNumber) {
  fs::path failed;
  const int file = WriteSupportDumps(folder, memory, failed);
  if (file == 0) {
    return std::nullopt;
  }
  messages.Show(Format(language.Text("SERVICE_MESSAGE3", languageNumber), failed.string()), MB_PLAIN);
  static constexpr const char* kKeys[] = {"ERROR_MESSAGE96", "ERROR_MESSAGE97", "ERROR_MESSAGE98", "ERROR_MESSAGE99"};
  return SUPPORT_RESULT{
      SUPPORT_OUTCOME::DumpFailed, language.Text(kKeys[static_cast<std::size_t>(file - 1)], languageNumber), 0, {}};
}

SUPPORT_RESULT SubmitSupportRequest(const CONTACT_RECORD& contact, std::string_view description,
                                    const SUPPORT_MEMORY& memory, const fs::path& folder, const CSMTPAddress& mailbox,
                                    CSMTPConnection& connection, IMessageBox& messages, const CLanguageFile& language,
                                    int languageNumber) {
  if (auto failed = WriteDumpsForRequest(memory, folder, messages, language, languageNumber)) {
    return *failed;
  }
  return SendSupportMail(contact, description, folder, mailbox, connection, language, languageNumber);
}

}  // namespace tolvane::net
