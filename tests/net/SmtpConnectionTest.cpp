// The mail client's conversation: replies, time-outs and failures against
// scripted servers on simulated time and on real loopback sockets.
#include <gtest/gtest.h>

#include "net/SmtpConnection.h"
#include "net/SmtpPeers.h"

namespace tolvane::net {
namespace {

using namespace std::chrono_literals;
using test::CScriptedSocket;
using test::SCRIPTED_REPLY;
using test::ScriptedTcpPeer;
using STEP = ScriptedTcpPeer::STEP;

struct ScriptRig {
  SimulatedClock clock;
  CScriptedSocket* socket = nullptr;
  std::unique_ptr<CSMTPConnection> connection;
  explicit ScriptRig(std::deque<SCRIPTED_REPLY> replies) {
    auto s = std::make_unique<CScriptedSocket>(clock, std::move(replies));
    socket = s.get();
    connection = std::make_unique<CSMTPConnection>(clock, std::move(s));
  }
  std::chrono::milliseconds Elapsed() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(clock.elapsed());
  }
};

CSMTPMessage SmallMail() {
  CSMTPMessage m;
  m.sender = {"Ann", "ann@example.org"};
  m.subject = "Hello";
  m.AppendRecipient({"Support", "support@example.org"}, CSMTPMessage::TO);
  m.AppendRecipient({"", "cc@example.org"}, CSMTPMessage::CC);
  m.AppendRecipient({"", "bcc@example.org"}, CSMTPMessage::BCC);
  m.SetBody("Hello\n");
  return m;
}

TEST(SmtpReplies, AWholeConversationInItsOrder) {
  ScriptRig rig({{"220 ready\r\n"},
                 {"250 hello\r\n"},
                 {"250 sender ok\r\n"},
                 {"250 to ok\r\n"},
                 {"250 cc ok\r\n"},
                 {"250 bcc ok\r\n"},
                 {"354 go on\r\n"},
                 {"250 queued\r\n"},
                 {"221 bye\r\n"}});
  ASSERT_TRUE(rig.connection->Open("mail.example.org", 25));
  EXPECT_EQ(rig.socket->host, "mail.example.org");
  EXPECT_EQ(rig.socket->port, 25);
  ASSERT_TRUE(rig.connection->Transmit(SmallMail()));
  EXPECT_TRUE(rig.connection->Close());
  const std::string& s = rig.socket->sent;
  EXPECT_TRUE(s.starts_with("HELO ")) << s;
  const auto mail = s.find("MAIL FROM:<ann@example.org>\r\n");
  const auto to = s.find("RCPT TO:<support@example.org>\r\n");
  const auto cc = s.find("RCPT TO:<cc@example.org>\r\n");
  const auto bcc = s.find("RCPT TO:<bcc@example.org>\r\n");
  const auto data = s.find("DATA\r\n");
  ASSERT_NE(bcc, std::string::npos);
  EXPECT_LT(mail, to);
  EXPECT_LT(to, cc);
  EXPECT_LT(cc, bcc);
  EXPECT_LT(bcc, data);
  EXPECT_TRUE(s.ends_with("Hello\r\n\r\n.\r\nQUIT\r\n")) << s;
  // Replies that are there are read without waiting.
  EXPECT_EQ(rig.socket->slicesWaited, 0);
  EXPECT_EQ(rig.Elapsed(), 0ms);
}

TEST(SmtpReplies, SilenceTimesOutAfterTwoSecondsAndNotLater) {
  ScriptRig rig({{"220 late\r\n", 3000ms}});
  EXPECT_FALSE(rig.connection->Open("mail.example.org", 25));
  EXPECT_EQ(rig.connection->LastError(), SMTP_ERROR_TIMED_OUT);
  EXPECT_GT(rig.Elapsed(), 2000ms);
  EXPECT_LE(rig.Elapsed(), 2010ms);
  EXPECT_FALSE(rig.socket->IsOpen());
  // No QUIT after a time-out: it would only wait again.
  EXPECT_EQ(rig.socket->sent, "");
}

TEST(SmtpReplies, ASlowButSteadyServerDoesNotTimeOut) {
  // One byte every 100 ms, the greeting's line end 1.5 s after its start.
  ScriptRig rig({{"220 slow server\r\n", 0ms, 100ms}, {"250 hi\r\n", 0ms, 100ms}});
  ASSERT_TRUE(rig.connection->Open("mail.example.org", 25));
  EXPECT_GE(rig.Elapsed(), 1600ms + 700ms);
  // A pause a little under the time-out is still no time-out.
  ScriptRig pause({{"220 a\r\n", 1990ms}, {"250 b\r\n", 1990ms}});
  EXPECT_TRUE(pause.connection->Open("h", 25));
}

TEST(SmtpReplies, CodesLinesAndWhatIsKept) {
  // A multi-line reply is read whole; its code is its first line's.
  ScriptRig multi({{"220-first\r\n220-second\r\n220 last\r\n"}, {"250 hi\r\n"}});
  EXPECT_TRUE(multi.connection->Open("h", 25));

  // A greeting other than 220 fails Open, closes the socket and keeps the reply.
  ScriptRig refused({{"554 no service here\r\n"}, {"221 bye\r\n"}});
  EXPECT_FALSE(refused.connection->Open("h", 25));
  EXPECT_EQ(refused.connection->LastError(), SMTP_ERROR_WRONG_REPLY);
  EXPECT_EQ(refused.connection->LastCode(), 554);
  EXPECT_EQ(refused.connection->LastResponse(), "554 no service here");
  EXPECT_FALSE(refused.socket->IsOpen());
  EXPECT_FALSE(refused.connection->Connected());

  // A refused recipient while sending is a bad command; nothing follows it.
  ScriptRig rcpt({{"220 a\r\n"}, {"250 b\r\n"}, {"250 c\r\n"}, {"550 no such user\r\n"}, {"221 bye\r\n"}});
  ASSERT_TRUE(rcpt.connection->Open("h", 25));
  EXPECT_FALSE(rcpt.connection->Transmit(SmallMail()));
  EXPECT_EQ(rcpt.connection->LastError(), SMTP_ERROR_BAD_COMMAND);
  EXPECT_EQ(rcpt.connection->LastCode(), 550);
  EXPECT_EQ(rcpt.socket->sent.find("DATA"), std::string::npos);

  // Text that is no reply code reads as code 0.
  EXPECT_EQ(ReplyCode("2x0 odd"), 0);
  EXPECT_EQ(ReplyCode("25"), 0);
  EXPECT_EQ(ReplyCode("250"), 250);
  EXPECT_EQ(CompleteReplyLength("250-a\r\n250 b\r\nrest"), 14u);
  EXPECT_EQ(CompleteReplyLength("250-a\r\n250-b\r\n"), 0u);
  EXPECT_EQ(CompleteReplyLength("250 a"), 0u);
}

TEST(SmtpReplies, AServerThatNeverEndsItsLineCannotFillTheMemory) {
  ScriptRig rig({{std::string(1 << 20, 'x')}});
  EXPECT_FALSE(rig.connection->Open("h", 25));
  EXPECT_EQ(rig.connection->LastError(), SMTP_ERROR_REPLY_TOO_LONG);
  EXPECT_LE(rig.connection->LastResponse().size(), CSMTPConnection::kMaxReplyBytes);
}

TEST(SmtpReplies, AConnectionClosedMidReplyFails) {
  ScriptRig rig({{"220 a\r\n"}, {"25", 0ms, 0ms, true}});
  EXPECT_FALSE(rig.connection->Open("h", 25));
  EXPECT_EQ(rig.connection->LastError(), SMTP_ERROR_CLOSED);
  EXPECT_EQ(rig.connection->LastResponse(), "25");
}

TEST(SmtpReplies, HeaderInjectionIsRefusedBeforeAnythingIsSent) {
  ScriptRig rig({{"220 a\r\n"}, {"250 b\r\n"}, {"250 c\r\n"}, {"250 d\r\n"}, {"221 e\r\n"}});
  ASSERT_TRUE(rig.connection->Open("h", 25));
  const std::size_t before = rig.socket->sent.size();
  CSMTPMessage m = SmallMail();
  m.sender.name = "Ann\r\nBcc: everyone@example.org";
  EXPECT_FALSE(rig.connection->Transmit(m));
  EXPECT_EQ(rig.connection->LastError(), SMTP_ERROR_INVALID_FIELD);
  EXPECT_EQ(rig.socket->sent.size(), before);
}

TEST(SmtpReplies, FailuresOfTheConnectionItself) {
  ScriptRig lookup({});
  lookup.socket->connectResult = SMTP_ERROR_LOOKUP;
  EXPECT_FALSE(lookup.connection->Open("no-such-host.invalid", 25));
  EXPECT_EQ(lookup.connection->LastError(), SMTP_ERROR_LOOKUP);
  // Without a connection nothing is sent and Close has nothing to say.
  EXPECT_FALSE(lookup.connection->Transmit(SmallMail()));
  EXPECT_EQ(lookup.connection->LastError(), SMTP_ERROR_NOT_CONNECTED);
  EXPECT_TRUE(lookup.connection->Close());
  EXPECT_EQ(lookup.socket->sent, "");
}

// --- real sockets ----------------------------------------------------------

TEST(SmtpSockets, AGreetingOf554FailsOpenOnARealSocket) {
  ScriptedTcpPeer peer({{STEP::Send, "554 go away\r\n"}, {STEP::ReadLine}, {STEP::Send, "221 bye\r\n"}});
  ASSERT_NE(peer.Port(), 0);
  RealClock clock;
  CSMTPConnection c(clock);
  EXPECT_FALSE(c.Open("127.0.0.1", peer.Port()));
  EXPECT_EQ(c.LastCode(), 554);
  EXPECT_FALSE(c.Connected());
  // After a refused greeting the client still says goodbye.
  EXPECT_EQ(peer.Received(), "QUIT\r\n");
}

TEST(SmtpSockets, HeloRefusedAndAConnectionClosedInTheMiddleOfTheData) {
  RealClock clock;
  {
    ScriptedTcpPeer peer({{STEP::Send, "220 hi\r\n"}, {STEP::ReadLine}, {STEP::Send, "502 no\r\n"}, {STEP::ReadLine}});
    CSMTPConnection c(clock);
    EXPECT_FALSE(c.Open("localhost", peer.Port()));
    EXPECT_EQ(c.LastCode(), 502);
    EXPECT_TRUE(peer.Received().starts_with("HELO "));
  }
  {
    ScriptedTcpPeer peer({{STEP::Send, "220 hi\r\n"},
                          {STEP::ReadLine},
                          {STEP::Send, "250 hello\r\n"},
                          {STEP::ReadLine},
                          {STEP::Send, "250 ok\r\n"},
                          {STEP::ReadLine},
                          {STEP::Send, "250 ok\r\n"},
                          {STEP::ReadLine},
                          {STEP::Send, "250 ok\r\n"},
                          {STEP::ReadLine},
                          {STEP::Send, "250 ok\r\n"},
                          {STEP::ReadLine},
                          {STEP::Send, "354 go\r\n"},
                          {STEP::ReadLine},
                          {STEP::Close}});
    CSMTPConnection c(clock);
    ASSERT_TRUE(c.Open("127.0.0.1", peer.Port()));
    CSMTPMessage m = SmallMail();
    // A body large enough that the server is gone before all of it is sent.
    m.SetBody(std::string(4 << 20, 'b'));
    EXPECT_FALSE(c.Transmit(m));
    EXPECT_TRUE(c.LastError() == SMTP_ERROR_SEND || c.LastError() == SMTP_ERROR_CLOSED) << c.LastError();
    EXPECT_TRUE(peer.Received().find("DATA\r\n") != std::string::npos);
  }
}

TEST(SmtpSockets, AMebibyteLineWithoutLineEnd) {
  ScriptedTcpPeer peer({{STEP::Send, std::string(1 << 20, 'y')}});
  RealClock clock;
  CSMTPConnection c(clock);
  EXPECT_FALSE(c.Open("127.0.0.1", peer.Port()));
  EXPECT_EQ(c.LastError(), SMTP_ERROR_REPLY_TOO_LONG);
  EXPECT_LE(c.LastResponse().size(), CSMTPConnection::kMaxReplyBytes);
}

TEST(SmtpSockets, NamesThatDoNotResolveAndPortsNobodyListensOn) {
  CSMTPSocket socket;
  EXPECT_EQ(socket.Connect("no-such-host.invalid", 25), SMTP_ERROR_LOOKUP);
  EXPECT_EQ(socket.Connect("", 25), SMTP_ERROR_LOOKUP);
  EXPECT_EQ(socket.Connect("127.0.0.1", 0), SMTP_ERROR_LOOKUP);
  int port = 0;
  {
    ScriptedTcpPeer closed({});  // listens, then goes away
    port = closed.Port();
  }
  EXPECT_EQ(socket.Connect("127.0.0.1", port), SMTP_ERROR_CONNECT);
  EXPECT_FALSE(socket.IsOpen());
}

TEST(SmtpSockets, IPv6Loopback) {
  ScriptedTcpPeer peer({{STEP::Send, "220 six\r\n"},
                        {STEP::ReadLine},
                        {STEP::Send, "250 hi\r\n"},
                        {STEP::ReadLine},
                        {STEP::Send, "221 bye\r\n"}},
                       "::1");
  if (peer.Port() == 0) {
    GTEST_SKIP() << "no IPv6 loopback on this machine";
  }
  RealClock clock;
  CSMTPConnection c(clock);
  ASSERT_TRUE(c.Open("::1", peer.Port()));
  EXPECT_TRUE(c.Close());
  EXPECT_TRUE(peer.Received().ends_with("QUIT\r\n"));
}

}  // namespace
}  // namespace tolvane::net
