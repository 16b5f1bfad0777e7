// The support request: the dumps, the question about missing data, the mail
// and its delivery to aiosmtpd, read back with Python's email package.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "common/CheckedFormat.h"
#include "net/SmtpPeers.h"
#include "net/SupportRequest.h"
#include "support/TestSupport.h"

namespace tolvane::net {
namespace {

namespace fs = std::filesystem;
using tolvane::test::ReadBytes;
using tolvane::test::TempDir;

const CLanguageFile& Language() {
  static const CLanguageFile language = [] {
    CLanguageFile file(fs::path(TOLVANE_SOURCE_DATA) / "Models", nullptr);
    EXPECT_EQ(file.Load("Tolvane_Language.txt"), 0);
    return file;
  }();
  return language;
}

// A unit's memory with a different pattern in every area.
struct UnitMemoryImage {
  std::array<std::uint8_t, 128> info{};
  std::array<std::uint8_t, 512> customer{}, factory{}, history{};
  UnitMemoryImage() {
    auto fill = [](std::span<std::uint8_t> bytes, unsigned seed) {
      for (std::size_t w = 0; w < bytes.size() / 2; ++w) {
        const unsigned v = (static_cast<unsigned>(w) * 100 + seed) & 0xFFFF;
        bytes[2 * w] = static_cast<std::uint8_t>(v & 0xFF);
        bytes[2 * w + 1] = static_cast<std::uint8_t>(v >> 8);
      }
    };
    fill(info, 7);
    fill(customer, 0);
    fill(factory, 60000);
    fill(history, 3);
  }
  SUPPORT_MEMORY View() const { return {info, customer, factory, history}; }
};

CONTACT_RECORD Contact(const std::string& server) {
  return CONTACT_RECORD{server, "Ann Example", "+49 30 1234567", "ann@example.org"};
}

const CSMTPAddress kMailbox{"Kestrine Technical Support", "support@kestrine.example"};

TEST(SupportDumps, OneLineOfSixteenWordsInFiveDigitColumns) {
  UnitMemoryImage unit;
  const std::string text = DumpText(unit.customer);
  // Words 16..31 of the customer page hold 1600 .. 3100.
  EXPECT_NE(text.find("\n0016 - 01600 01700 01800 01900 02000 02100 02200 02300  02400 02500 02600 02700 02800 "
                      "02900 03000 03100 \n0032 - "),
            std::string::npos)
      << text.substr(0, 300);
  EXPECT_TRUE(text.starts_with("0000 - 00000 00100 "));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 16);
  EXPECT_TRUE(
      text.ends_with("\n0240 - 24000 24100 24200 24300 24400 24500 24600 24700  24800 24900 25000 25100 25200 "
                     "25300 25400 25500 \n"));
  // A 16-bit word above 32767 is shown unsigned; the information memory has 64 words.
  EXPECT_TRUE(DumpText(unit.factory).starts_with("0000 - 60000 60100 "));
  const std::string info = DumpText(unit.info);
  EXPECT_EQ(std::count(info.begin(), info.end(), '\n'), 4);
}

TEST(SupportDumps, WrittenIntoTheFolderWithCrLfAndDeletedAgain) {
  TempDir dir;
  UnitMemoryImage unit;
  fs::path failed;
  ASSERT_EQ(WriteSupportDumps(dir.path(), unit.View(), failed), 0);
  std::string expected = DumpText(unit.history);
  for (std::size_t at = 0; (at = expected.find('\n', at)) != std::string::npos; at += 2) {
    expected.insert(at, "\r");
  }
  EXPECT_EQ(ReadBytes(dir / "HistoryPage.txt"), expected);
  for (const char* name : kDumpFiles) {
    EXPECT_TRUE(fs::is_regular_file(dir / name)) << name;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 4);
  DeleteSupportDumps(dir.path());
  EXPECT_TRUE(fs::is_empty(dir.path()));

  // A folder that is not there: the first file fails.
  EXPECT_EQ(WriteSupportDumps(dir / "missing", unit.View(), failed), 1);
  EXPECT_EQ(failed, dir / "missing" / "InfoMemory.txt");
  // A name taken by a folder fails that file; the ones before it are written.
  fs::create_directory(dir / "FactoryDataPage.txt");
  EXPECT_EQ(WriteSupportDumps(dir.path(), unit.View(), failed), 3);
  EXPECT_EQ(failed.filename(), "FactoryDataPage.txt");
  EXPECT_TRUE(fs::is_regular_file(dir / "CustomerDataPage.txt"));
}

TEST(SupportRequest, TheQuestionNamesTheMissingFieldsInOrder) {
  CONTACT_RECORD c = Contact("mail.example.org");
  c.name.clear();
  const unsigned missing = MissingFields(c, "");
  EXPECT_EQ(missing, MISSING_NAME | MISSING_DESCRIPTION);
  EXPECT_EQ(IncompleteQuestion(missing, Language(), 0),
            "Data incomplete.\n\t- contact name\n\t- description of the problem\nRetry?");
  EXPECT_EQ(MissingFields(CONTACT_RECORD{}, ""), 31u);
  EXPECT_EQ(IncompleteQuestion(31, Language(), 0),
            "Data incomplete.\n\t- email server name\n\t- contact name\n\t- phone number\n\t- email address\n\t- "
            "description of the problem\nRetry?");
  EXPECT_EQ(MissingFields(Contact("m"), "broken"), 0u);
}

TEST(SupportRequest, BodyServerAndMailbox) {
  EXPECT_EQ(SupportBody(Contact("m"), "No echo."),
            "CUSTOMER NAME:  Ann Example\nPHONE NUMBER:  +49 30 1234567\nEMAIL ADDRESS:  ann@example.org\n\n"
            "----------------\n\nPROBLEM DESCRIPTION:  No echo.\n");

  std::string host;
  int port = 0;
  ASSERT_TRUE(SplitServer("mail.example.org", host, port));
  EXPECT_EQ(host, "mail.example.org");
  EXPECT_EQ(port, 25);
  ASSERT_TRUE(SplitServer(" 127.0.0.1:2525 ", host, port));
  EXPECT_EQ(host, "127.0.0.1");
  EXPECT_EQ(port, 2525);
  ASSERT_TRUE(SplitServer("[::1]:587", host, port));
  EXPECT_EQ(host, "::1");
  EXPECT_EQ(port, 587);
  ASSERT_TRUE(SplitServer("fe80::1", host, port));
  EXPECT_EQ(host, "fe80::1");
  EXPECT_EQ(port, 25);
  for (const char* bad : {"", "host:", "host:0", "host:65536", "host:25x", "[::1", "[::1]x", ":25", "[]:25"}) {
    EXPECT_FALSE(SplitServer(bad, host, port)) << bad;
  }

  CSMTPAddress box;
  ASSERT_TRUE(ParseSupportMailbox("Kestrine Technical Support | support@kestrine.example", box));
  EXPECT_EQ(box.name, "Kestrine Technical Support");
  EXPECT_EQ(box.address, "support@kestrine.example");
  ASSERT_TRUE(ParseSupportMailbox("help@kestrine.example", box));
  EXPECT_EQ(box.name, "");
  for (const char* bad : {"", "Support|", "Support|nobody", "|"}) {
    EXPECT_FALSE(ParseSupportMailbox(bad, box)) << bad;
  }
  EXPECT_TRUE(ContactIsSingleLines(Contact("m")));
  CONTACT_RECORD injected = Contact("m");
  injected.email = "ann@example.org\r\nRCPT TO:<x@example.org>";
  EXPECT_FALSE(ContactIsSingleLines(injected));
}

// Reads the lines of a file.
std::vector<std::string> Lines(const fs::path& path) {
  std::vector<std::string> lines;
  std::istringstream in(ReadBytes(path));
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

TEST(SupportRequest, TheMailArrivesWithItsHeaderBodyAndTheFourDumpsByteForByte) {
  TempDir logs, mails, parsed, reference;
  test::AiosmtpdPeer peer(mails.path());
  ASSERT_NE(peer.Port(), 0) << "aiosmtpd did not start";
  UnitMemoryImage unit;
  fs::path failed;
  ASSERT_EQ(WriteSupportDumps(reference.path(), unit.View(), failed), 0);

  RealClock clock;
  CSMTPConnection connection(clock);
  tolvane::test::RecordingMessages messages;
  const std::string description = "The relay clicks.\n.Then nothing = silence.";
  ASSERT_FALSE(WriteDumpsForRequest(unit.View(), logs.path(), messages, Language(), 0));
  std::vector<int> progress;
  const SUPPORT_RESULT result = SendSupportMail(Contact(peer.Server()), description, logs.path(), kMailbox, connection,
                                                Language(), 0, [&progress](int p) { progress.push_back(p); });
  EXPECT_EQ(progress, (std::vector<int>{20, 90, 100}));
  ASSERT_EQ(result.outcome, SUPPORT_OUTCOME::Sent) << result.message << " " << result.smtpError << " " << result.reply;
  EXPECT_TRUE(messages.shown.empty());
  // The dumps are gone after a successful submission.
  for (const char* name : kDumpFiles) {
    EXPECT_FALSE(fs::exists(logs / name)) << name;
  }

  const fs::path mail = peer.Mail(1);
  ASSERT_TRUE(fs::exists(mail));
  EXPECT_EQ(Lines(mails / "1.envelope"), (std::vector<std::string>{"ann@example.org", "support@kestrine.example"}));
  ASSERT_TRUE(test::ParseMail(mail, parsed.path()));
  const auto headers = Lines(parsed / "headers.txt");
  ASSERT_GE(headers.size(), 7u);
  EXPECT_EQ(headers[0], "From: Ann Example <ann@example.org>");
  EXPECT_EQ(headers[1], "To: Kestrine Technical Support <support@kestrine.example>");
  EXPECT_EQ(headers[2], "Subject: Tech Support for Ann Example");
  EXPECT_TRUE(headers[3].starts_with("Date: ")) << headers[3];
  EXPECT_EQ(headers[4], "X-Mailer: CSMTPConnection v1.3");
  EXPECT_EQ(headers[5], "MIME-Version: 1.0");
  EXPECT_EQ(headers[6], "Content-type: multipart/mixed; boundary=\"#BOUNDARY#\"");
  EXPECT_EQ(
      Lines(parsed / "parts.txt"),
      (std::vector<std::string>{"multipart/mixed", "text/plain", "application/octet-stream", "application/octet-stream",
                                "application/octet-stream", "application/octet-stream"}));
  // The reader gives the text part with line feeds; the blank line before
  // the first attachment's boundary belongs to the part.
  EXPECT_EQ(ReadBytes(parsed / "body.bin"), SupportBody(Contact(peer.Server()), description) + "\n");
  for (const char* name : kDumpFiles) {
    EXPECT_EQ(ReadBytes(parsed / name), ReadBytes(reference / name)) << name;
    EXPECT_GT(ReadBytes(parsed / name).size(), 100u) << name;
  }
}

TEST(SupportRequest, TheMailCanGoOnAWorkerWhileTheCallerWatchesItsProgress) {
  // As the dialog sends it: a worker runs the mail, the caller's thread waits
  // and takes the progress as it comes.
  TempDir logs, mails;
  test::AiosmtpdPeer peer(mails.path());
  ASSERT_NE(peer.Port(), 0);
  UnitMemoryImage unit;
  tolvane::test::RecordingMessages messages;
  ASSERT_FALSE(WriteDumpsForRequest(unit.View(), logs.path(), messages, Language(), 0));
  RealClock clock;
  std::atomic<int> shown{0};
  SUPPORT_RESULT result;
  std::thread worker([&] {
    CSMTPConnection connection(clock);
    result = SendSupportMail(Contact(peer.Server()), "x", logs.path(), kMailbox, connection, Language(), 0,
                             [&shown](int p) { shown = p; });
  });
  worker.join();
  EXPECT_EQ(result.outcome, SUPPORT_OUTCOME::Sent) << result.message;
  EXPECT_EQ(shown, 100);
  EXPECT_TRUE(fs::exists(peer.Mail(1)));
}

TEST(SupportRequest, ARefusedRecipientOrAnUnreachableServerKeepsTheDumps) {
  TempDir logs, mails;
  test::AiosmtpdPeer peer(mails.path(), kMailbox.address);
  ASSERT_NE(peer.Port(), 0);
  UnitMemoryImage unit;
  RealClock clock;
  tolvane::test::RecordingMessages messages;
  {
    CSMTPConnection connection(clock);
    const SUPPORT_RESULT r = SubmitSupportRequest(Contact(peer.Server()), "x", unit.View(), logs.path(), kMailbox,
                                                  connection, messages, Language(), 0);
    EXPECT_EQ(r.outcome, SUPPORT_OUTCOME::SendFailed);
    EXPECT_EQ(r.message, Language().Text("ERROR_MESSAGE101", 0));
    EXPECT_EQ(r.smtpError, SMTP_ERROR_BAD_COMMAND);
    EXPECT_TRUE(r.reply.starts_with("550")) << r.reply;
    EXPECT_FALSE(connection.Connected());
  }
  for (const char* name : kDumpFiles) {
    EXPECT_TRUE(fs::exists(logs / name)) << name;
  }
  {
    // Connected, then refused: the progress stops at the connection.
    CSMTPConnection connection(clock);
    std::vector<int> progress;
    const SUPPORT_RESULT r = SendSupportMail(Contact(peer.Server()), "x", logs.path(), kMailbox, connection, Language(),
                                             0, [&progress](int p) { progress.push_back(p); });
    EXPECT_EQ(r.outcome, SUPPORT_OUTCOME::SendFailed);
    EXPECT_EQ(progress, std::vector<int>{20});
  }
  {
    CSMTPConnection connection(clock);
    const SUPPORT_RESULT r = SubmitSupportRequest(Contact("no-such-host.invalid"), "x", unit.View(), logs.path(),
                                                  kMailbox, connection, messages, Language(), 0);
    EXPECT_EQ(r.outcome, SUPPORT_OUTCOME::ConnectFailed);
    EXPECT_EQ(r.message, Format(Language().Text("ERROR_MESSAGE100", 0), "no-such-host.invalid"));
    EXPECT_EQ(r.smtpError, SMTP_ERROR_LOOKUP);
  }
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_FALSE(fs::exists(mails / "1.eml"));
}

TEST(SupportRequest, ADumpThatCannotBeWrittenStopsTheSubmission) {
  TempDir logs;
  fs::create_directory(logs / "CustomerDataPage.txt");
  UnitMemoryImage unit;
  RealClock clock;
  CSMTPConnection connection(clock);
  tolvane::test::RecordingMessages messages;
  const SUPPORT_RESULT r = SubmitSupportRequest(Contact("127.0.0.1:1"), "x", unit.View(), logs.path(), kMailbox,
                                                connection, messages, Language(), 0);
  EXPECT_EQ(r.outcome, SUPPORT_OUTCOME::DumpFailed);
  EXPECT_EQ(r.message, Language().Text("ERROR_MESSAGE97", 0));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].first, "error opening attachment file - " + (logs / "CustomerDataPage.txt").string());
  EXPECT_TRUE(fs::exists(logs / "InfoMemory.txt"));  // written before: it stays
  EXPECT_FALSE(connection.Connected());
}

}  // namespace
}  // namespace tolvane::net
