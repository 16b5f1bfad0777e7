// The technical support request: the customer's contact data and problem
// description, text dumps of the unit's memory in the logs folder, and the
// mail that carries them to the maker's support mailbox. The dialog and the
// command-line program run the same steps.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/Messages.h"
#include "defs/LanguageFile.h"
#include "net/SmtpConnection.h"

namespace tolvane::net {

// What the configuration form keeps for the run, so the dialog offers it again.
struct CONTACT_RECORD {
  std::string server;  // mail server: a name or address, optionally ":port"
  std::string name;
  std::string phone;
  std::string email;
};

// The fields that are empty, as bits.
enum : unsigned {
  MISSING_SERVER = 1,
  MISSING_NAME = 2,
  MISSING_PHONE = 4,
  MISSING_EMAIL = 8,
  MISSING_DESCRIPTION = 16,
};
unsigned MissingFields(const CONTACT_RECORD& contact, std::string_view description);

// "Data incomplete." with a line for each missing field, in the order of the
// bits, and "Retry?".
std::string IncompleteQuestion(unsigned missing, const CLanguageFile& language, int languageNumber);

// True when no contact field holds a line break (it would add header lines
// or commands to the mail).
bool ContactIsSingleLines(const CONTACT_RECORD& contact);

// The unit's memory as last read: the information memory (64 words) and the
// Customer, Factory and History pages (256 words each).
struct SUPPORT_MEMORY {
  std::span<const std::uint8_t, 128> info;
  std::span<const std::uint8_t, 512> customer;
  std::span<const std::uint8_t, 512> factory;
  std::span<const std::uint8_t, 512> history;
};

// The dump files in the order they are written and attached.
inline constexpr std::array<const char*, 4> kDumpFiles{"InfoMemory.txt", "CustomerDataPage.txt", "FactoryDataPage.txt",
                                                       "HistoryPage.txt"};

// The text of a dump: one line per 16 little-endian words, "%04d - " with the
// index of the first word, eight words "%05d ", one blank, eight more, "\n".
std::string DumpText(std::span<const std::uint8_t> bytes);

// Writes the four dumps into `folder` (each file is written beside its name
// and renamed over it; lines end in CR LF). 0, or the number 1..4 of the first
// file that could not be written, with its path in `failed`.
int WriteSupportDumps(const std::filesystem::path& folder, const SUPPORT_MEMORY& memory, std::filesystem::path& failed);
void DeleteSupportDumps(const std::filesystem::path& folder);

// The mail body: the contact data, a dashed line, the description.
std::string SupportBody(const CONTACT_RECORD& contact, std::string_view description);

// The support mailbox from SUPPORTMAIL ("friendly name|address"); false when
// the value holds no address.
bool ParseSupportMailbox(std::string_view value, CSMTPAddress& mailbox);

// The mail server text: "host", "host:port" or "[IPv6 address]:port" (a bare
// IPv6 address is taken whole). False when the port is not 1..65535.
bool SplitServer(std::string_view text, std::string& host, int& port, int defaultPort = 25);

enum class SUPPORT_OUTCOME { Sent, DumpFailed, ConnectFailed, SendFailed };

struct SUPPORT_RESULT {
  SUPPORT_OUTCOME outcome = SUPPORT_OUTCOME::Sent;
  std::string message;  // the text to show for a failure
  int smtpError = 0;    // the mail client's failure code
  std::string reply;    // the server's reply that led to the failure
};

// How far the mail is, in percent (connected, sent, closed).
using SUPPORT_PROGRESS = std::function<void(int percent)>;

// Connects to the contact's mail server, sends the mail with the four dump
// files of `folder` attached and closes the connection; deletes the dumps
// after a successful send. No dialog: it may run on a worker thread, and so
// may `progress` when given.
SUPPORT_RESULT SendSupportMail(const CONTACT_RECORD& contact, std::string_view description,
                               const std::filesystem::path& folder, const CSMTPAddress& mailbox,
                               CSMTPConnection& connection, const CLanguageFile& language, int languageNumber,
                               const SUPPORT_PROGRESS& progress = {});

// Writes the dumps for a request. When a file cannot be written, its path is
// shown in `messages` ("error opening attachment file - %s") and the failed
// result is given (ERROR_MESSAGE96 .. ERROR_MESSAGE99 for the four files).
std::optional<SUPPORT_RESULT> WriteDumpsForRequest(const SUPPORT_MEMORY& memory, const std::filesystem::path& folder,
                                                   IMessageBox& messages, const CLanguageFile& language,
                                                   int languageNumber);

// The whole submission after the completeness check: the dumps (a file that
// cannot be written is shown in `messages` with its path), then the mail.
SUPPORT_RESULT SubmitSupportRequest(const CONTACT_RECORD& contact, std::string_view description,
                                    const SUPPORT_MEMORY& memory, const std::filesystem::path& folder,
                                    const CSMTPAddress& mailbox, CSMTPConnection& connection, IMessageBox& messages,
                                    const CLanguageFile& language, int languageNumber);

}  // namespace tolvane::net
