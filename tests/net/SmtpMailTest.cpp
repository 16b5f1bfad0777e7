// The mail as the client builds it: base64 attachments in their line layout,
// the header, the dot-stuffed body, and the text that goes over the wire.
#include <gtest/gtest.h>

#include "net/SmtpConnection.h"
#include "net/SmtpMail.h"
#include "support/TestSupport.h"

namespace tolvane::net {
namespace {

std::tm Noon(long gmtoff) {
  std::tm t{};
  t.tm_year = 126;  // 2026
  t.tm_mon = 2;     // March
  t.tm_mday = 5;
  t.tm_wday = 4;  // Thursday
  t.tm_hour = 9;
  t.tm_min = 7;
  t.tm_sec = 3;
  t.tm_gmtoff = gmtoff;
  return t;
}

TEST(SmtpAttachment, Base64InSeventySixCharacterLines) {
  // The standard's test vectors, each ended with its line end.
  EXPECT_EQ(EncodeBase64Lines(""), "\r\n");
  EXPECT_EQ(EncodeBase64Lines("f"), "Zg==\r\n");
  EXPECT_EQ(EncodeBase64Lines("fo"), "Zm8=\r\n");
  EXPECT_EQ(EncodeBase64Lines("foo"), "Zm9v\r\n");
  EXPECT_EQ(EncodeBase64Lines("foobar"), "Zm9vYmFy\r\n");
  EXPECT_EQ(EncodeBase64Lines(std::string("\xFF\xFE\x00", 3)), "//4A\r\n");

  // 57 bytes fill one line of 76 characters, which ends with two line ends.
  std::string line;
  for (int i = 0; i < 19; ++i) {
    line += "QUFB";  // "AAA"
  }
  EXPECT_EQ(EncodeBase64Lines(std::string(57, 'A')), line + "\r\n\r\n");
  // One byte more starts a second line with its padding.
  const std::string more = EncodeBase64Lines(std::string(58, 'A'));
  EXPECT_EQ(more.substr(76), "\r\nQQ==\r\n");
  // Two full lines and a part.
  const std::string longer = EncodeBase64Lines(std::string(120, '\x01'));
  EXPECT_EQ(longer.find("\r\n"), 76u);
  EXPECT_EQ(longer.find("\r\n", 78), 154u);
  EXPECT_EQ(longer.size(), 76 + 2 + 76 + 2 + 8 + 2u);
}

TEST(SmtpAttachment, LoadsOnlyRegularFilesAndTakesTheirName) {
  tolvane::test::TempDir dir;
  tolvane::test::WriteBytes(dir / "dump.txt", "foo");
  CSMTPAttachment a;
  ASSERT_TRUE(a.LoadFile(dir / "dump.txt"));
  EXPECT_EQ(a.Title(), "dump.txt");
  EXPECT_EQ(a.EncodedText(), "Zm9v\r\n");
  EXPECT_FALSE(a.LoadFile(dir / "missing.txt"));
  EXPECT_FALSE(a.LoadFile(dir.path()));  // a folder
}

TEST(SmtpMessage, HeaderWithAndWithoutCcReplyToAndAttachments) {
  CSMTPMessage m;
  m.sender = {"Ann Example", "ann@example.org"};
  m.subject = "Tech Support for Ann Example";
  m.AppendRecipient({"Support", "support@kestrine.example"}, CSMTPMessage::TO);
  m.AppendRecipient({"", "second@kestrine.example"}, CSMTPMessage::TO);
  m.AppendRecipient({"Hidden", "bcc@kestrine.example"}, CSMTPMessage::BCC);
  EXPECT_EQ(m.RecipientCount(CSMTPMessage::TO), 2);
  EXPECT_EQ(m.RecipientAt(1, CSMTPMessage::TO).address, "second@kestrine.example");

  EXPECT_EQ(m.BuildHeader(Noon(3600)),
            "From: Ann Example <ann@example.org>\r\n"
            "To: Support <support@kestrine.example>,second@kestrine.example\r\n"
            "Subject: Tech Support for Ann Example\r\n"
            "Date: Thu, 05 Mar 2026 09:07:03 +0100\r\n"
            "X-Mailer: CSMTPConnection v1.3\r\n"
            "MIME-Version: 1.0\r\nContent-type: text/plain; charset=US-ASCII\r\n"
            "\r\n");

  m.AppendRecipient({"Copy", "cc@kestrine.example"}, CSMTPMessage::CC);
  m.replyTo = {"", "reply@example.org"};
  CSMTPAttachment a;
  a.SetContent("x.txt", "x");
  m.AppendAttachment(a);
  const std::string h = m.BuildHeader(Noon(-5 * 3600));
  EXPECT_NE(h.find("\r\nCc: Copy <cc@kestrine.example>\r\nSubject: "), std::string::npos) << h;
  EXPECT_NE(h.find("Date: Thu, 05 Mar 2026 09:07:03 -0500\r\n"), std::string::npos) << h;
  EXPECT_NE(h.find("X-Mailer: CSMTPConnection v1.3\r\nReply-To: reply@example.org\r\n"), std::string::npos) << h;
  EXPECT_TRUE(h.ends_with("MIME-Version: 1.0\r\nContent-type: multipart/mixed; boundary=\"#BOUNDARY#\"\r\n\r\n"));
  EXPECT_EQ(h.find("bcc@"), std::string::npos);
}

TEST(SmtpMessage, ZoneTexts) {
  EXPECT_EQ(ZoneText(5 * 3600 + 30 * 60), "+0530");
  EXPECT_EQ(ZoneText(-5 * 3600), "-0500");
  EXPECT_EQ(ZoneText(-(3 * 3600 + 30 * 60)), "-0330");
  EXPECT_EQ(ZoneText(0), "+0000");
  EXPECT_EQ(ZoneText(-30 * 60), "-0030");  // the sign stays below an hour
}

TEST(SmtpMessage, BodyLinesThatBeginWithADotAreStuffed) {
  CSMTPMessage m;
  m.SetBody(".first\nsecond\n.third\n..fourth\n");
  EXPECT_EQ(m.Body(), ".first\nsecond\n..third\n...fourth\n");
  EXPECT_EQ(m.RawBody(), ".first\nsecond\n.third\n..fourth\n");
}

// Every line feed on the wire follows a carriage return.
bool OnlyCrLf(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) ||
        (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) {
      return false;
    }
  }
  return true;
}

TEST(SmtpWire, PlainMailGoesOutWithCrLfAndNoLineCanEndTheData) {
  CSMTPMessage m;
  m.sender = {"", "a@example.org"};
  m.AppendRecipient({"", "b@example.org"});
  // Bare line feeds, a bare CR, a lone dot line, dots at the start.
  m.SetBody(".\nline\r.\n.\r\nend");
  const std::string wire = MailDataText(m, Noon(0));
  EXPECT_TRUE(OnlyCrLf(wire)) << wire;
  const std::string body = wire.substr(wire.find("\r\n\r\n") + 4);
  EXPECT_EQ(body, "..\r\nline\r\n..\r\n..\r\nend");
  EXPECT_EQ(wire.find("\r\n.\r\n"), std::string::npos);
}

TEST(SmtpWire, AttachmentsFollowTheBodyPartBetweenBoundaries) {
  CSMTPMessage m;
  m.sender = {"J\xC3\xBCrgen", "j@example.org"};
  m.subject = "Tech Support for J\xC3\xBCrgen";
  m.AppendRecipient({"", "b@example.org"});
  m.SetBody("A=B \xC3\xA4\n.dot\n");
  CSMTPAttachment one;
  one.SetContent("One.txt", "foo");
  CSMTPAttachment two;
  two.SetContent("Two.txt", "fo");
  m.AppendAttachment(one);
  m.AppendAttachment(two);
  const std::string wire = MailDataText(m, Noon(0));
  EXPECT_TRUE(OnlyCrLf(wire));
  // The header in Windows-1252.
  EXPECT_NE(wire.find("From: J\xFCrgen <j@example.org>\r\n"), std::string::npos);
  const std::string expectedTail =
      "\r\n--#BOUNDARY#\r\nContent-Type: text/plain; charset=windows-1252\r\n"
      "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
      "A=3DB =E4\r\n..dot\r\n"
      "\r\n\r\n--#BOUNDARY#\r\nContent-Type: application/octet-stream; name=One.txt\r\n"
      "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=One.txt\r\n\r\n"
      "Zm9v\r\n"
      "\r\n\r\n--#BOUNDARY#\r\nContent-Type: application/octet-stream; name=Two.txt\r\n"
      "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=Two.txt\r\n\r\n"
      "Zm8=\r\n"
      "\r\n--#BOUNDARY#--";
  ASSERT_GE(wire.size(), expectedTail.size());
  EXPECT_EQ(wire.substr(wire.size() - expectedTail.size()), expectedTail);
}

TEST(SmtpWire, QuotedPrintableKeepsLinesShortAndTrailingBlanksVisible) {
  const std::string qp = QuotedPrintable(std::string(200, 'x') + " \nend\t");
  for (std::size_t at = 0, next = 0; at < qp.size(); at = next + 2) {
    next = qp.find("\r\n", at);
    if (next == std::string::npos) {
      next = qp.size();
    }
    EXPECT_LE(next - at, 76u);
  }
  EXPECT_NE(qp.find("x=20\r\nend=09"), std::string::npos) << qp;
  EXPECT_EQ(QuotedPrintable("a=b\xE4"), "a=3Db=E4");
}

TEST(SmtpMessage, FieldsWithLineBreaksAreFound) {
  CSMTPMessage m;
  m.sender = {"Ann", "ann@example.org"};
  m.subject = "Tech Support for Ann";
  m.AppendRecipient({"", "b@example.org"});
  EXPECT_TRUE(m.FieldsAreSingleLines());
  for (auto spoil : std::vector<std::function<void(CSMTPMessage&)>>{
           [](CSMTPMessage& x) { x.sender.name = "Ann\r\nBcc: victim@example.org"; },
           [](CSMTPMessage& x) { x.sender.address = "ann@example.org>\r\nRCPT TO:<victim@example.org"; },
           [](CSMTPMessage& x) { x.subject = "Support\nX-Injected: 1"; },
           [](CSMTPMessage& x) {
             x.AppendRecipient({"", std::string("c@example.org\0", 14)}, CSMTPMessage::BCC);
           },
           [](CSMTPMessage& x) {
             x.replyTo = {"R\r", "r@example.org"};
           },
       }) {
    CSMTPMessage copy = m;
    spoil(copy);
    EXPECT_FALSE(copy.FieldsAreSingleLines());
  }
}

}  // namespace
}  // namespace tolvane::net
