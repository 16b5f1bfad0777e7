// tolvane-cli's service commands as a technician runs them against tolvane-sim:
// pages, poke, info-memory, support send (to aiosmtpd) and service-code, with
// the exit status and message of every failure they promise.
#include <gtest/gtest.h>

#include <ctime>

#include "common/CheckedFormat.h"
#include "config/ServiceCommands.h"
#include "link/sim/SimProcess.h"
#include "net/SmtpPeers.h"
#include "support/TestSupport.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;

class ServiceCli : public ::testing::Test {
 protected:
  // The exit status and what the command printed on both streams.
  std::pair<int, std::string> Run(const std::string& args, const fs::path& deviceRoot = "/nonexistent") {
    return test::RunCommand("TOLVANE_HOME='" + home_.path().string() + "' TOLVANE_DEVICE_ROOT='" + deviceRoot.string() +
                            "' '" + TOLVANE_CLI_PATH + "' " + args + " 2>&1");
  }
  static bool Has(const std::string& out, const std::string& what) { return out.find(what) != std::string::npos; }
  std::string Lang(const char* key) { return Run(std::string("lang ") + key).second; }  // ends with a line feed
  test::PortableHome home_;
};

TEST_F(ServiceCli, PokeThenPagesShowsTheNewWord) {
  link::sim::SimProcess sim(TOLVANE_SIM_PATH, {"--identity", "qr27"});
  ASSERT_TRUE(sim.Running());
  auto [rc, out] = Run("poke customer 3 4660", sim.root());
  EXPECT_EQ(rc, 0) << out;
  EXPECT_EQ(out, "customer word 3 = 4660 (0x1234), verified\n");
  std::tie(rc, out) = Run("pages", sim.root());
  EXPECT_EQ(rc, 0);
  EXPECT_TRUE(out.starts_with("       HEX    DEC\n")) << out.substr(0, 80);
  EXPECT_TRUE(Has(out, "\n003: 0x1234  04660\n")) << out;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 257);

  std::tie(rc, out) = Run("poke factory 255 65535", sim.root());
  EXPECT_EQ(rc, 0) << out;
  std::tie(rc, out) = Run("pages factory --hex", sim.root());
  EXPECT_EQ(rc, 0);
  EXPECT_TRUE(out.starts_with("      0  1  2  3  4  5  6  7    8  9  A  B  C  D  E  F\n"));
  EXPECT_TRUE(Has(out, "\n1F0: ")) << out;
  EXPECT_TRUE(Has(out.substr(out.find("\n1F0: ")), " FF FF  ")) << out;
  // dump reads pages the same way.
  EXPECT_EQ(Run("dump factory --hex", sim.root()).second, out);
}

TEST_F(ServiceCli, PokeRefusesWhatTheDirectEntryRefuses) {
  link::sim::SimProcess sim(TOLVANE_SIM_PATH, {"--identity", "qr25"});
  ASSERT_TRUE(sim.Running());
  const std::string before = Run("pages", sim.root()).second;
  const std::pair<const char*, const char*> cases[] = {
      {"poke customer 256 1", "ERROR_MESSAGE67"},   {"poke customer 1 65536", "ERROR_MESSAGE68"},
      {"poke customer -- -1 1", "ERROR_MESSAGE67"}, {"poke customer abc 1", "ERROR_MESSAGE67"},
      {"poke customer '' 1", "ERROR_MESSAGE67"},    {"poke customer 1 ''", "ERROR_MESSAGE68"},
      {"poke history 1 1", "ERROR_MESSAGE69"},      {"poke ocm 1 1", "ERROR_MESSAGE69"},
  };
  for (const auto& [args, key] : cases) {
    const auto [rc, out] = Run(args, sim.root());
    EXPECT_EQ(rc, 2) << args;
    EXPECT_EQ(out, "error: " + Lang(key)) << args;
  }
  EXPECT_EQ(Run("pages", sim.root()).second, before);  // nothing was written
  EXPECT_EQ(Run("pages kitchen", sim.root()).first, 2);
  // No adapter: nothing to read or write.
  test::TempDir empty;
  fs::create_directories(empty / "sys/class/tty");
  EXPECT_EQ(Run("poke customer 1 1", empty.path()).first, 1);
  EXPECT_EQ(Run("pages ocm", empty.path()).first, 1);
}

TEST_F(ServiceCli, InformationMemoryRoundTrip) {
  link::sim::SimProcess sim(TOLVANE_SIM_PATH, {"--identity", "qr30"});
  ASSERT_TRUE(sim.Running());
  auto [rc, out] = Run("info-memory show", sim.root());
  EXPECT_EQ(rc, 0) << out;
  for (const char* field : {"TCAL      0x", "TVAL      0x", "CALA      0x", "CALC      0x", "CALD      0x",
                            "HWSERIAL  ", "HWMODEL   QR30", "CALDONE   0x"}) {
    EXPECT_TRUE(Has(out, std::string("\n") + field) || out.starts_with(field)) << field << " in\n" << out;
  }
  // The hardware serial 1 * 65536 + 2 goes into words 5 and 6 and comes back.
  std::tie(rc, out) = Run("info-memory set HWSERIAL 65538", sim.root());
  EXPECT_EQ(rc, 0) << out;
  EXPECT_EQ(out, "HWSERIAL  65538\n");
  std::tie(rc, out) = Run("dump info", sim.root());
  EXPECT_TRUE(Has(out, "\n005: 0x0001  00001\n006: 0x0002  00002\n")) << out;
  EXPECT_TRUE(Has(Run("info-memory show", sim.root()).second, "\nHWSERIAL  65538\n"));

  EXPECT_EQ(Run("info-memory set caldone 0x00FF", sim.root()).second, "CALDONE   0x00FF\n");
  EXPECT_EQ(Run("info-memory set CALDONE x255", sim.root()).second, "CALDONE   0x0000\n");
  // Windows-1252 holds the umlaut; a snowman becomes "?".
  EXPECT_EQ(Run("info-memory set HWMODEL 'QR30-\xC3\xA4\xE2\x98\x83'", sim.root()).second,
            "HWMODEL   QR30-\xC3\xA4?\n");

  // Refusals leave the memory as it was.
  const std::string before = Run("dump info", sim.root()).second;
  std::tie(rc, out) = Run("info-memory set HWMODEL ABCDEFGHIJKLMNOP", sim.root());
  EXPECT_EQ(rc, 2);
  EXPECT_EQ(out, "error: " + Lang("SERVICE_MESSAGE1"));
  EXPECT_EQ(Run("info-memory set HWMODEL ABCDEFGHIJKLMNO", sim.root()).first, 0);
  EXPECT_EQ(Run("info-memory set SERIAL 1", sim.root()).first, 2);
  EXPECT_EQ(Run("info-memory set", sim.root()).first, 2);
  EXPECT_EQ(Run("info-memory erase", sim.root()).first, 2);
  EXPECT_NE(Run("dump info", sim.root()).second, before);  // only the 15-character model was written

  test::TempDir empty;
  fs::create_directories(empty / "sys/class/tty");
  std::tie(rc, out) = Run("info-memory show", empty.path());
  EXPECT_EQ(rc, 1);
}

TEST_F(ServiceCli, SupportSendMailsTheUnitsMemory) {
  link::sim::SimProcess sim(TOLVANE_SIM_PATH, {"--identity", "qr27"});
  ASSERT_TRUE(sim.Running());
  test::TempDir mails, parsed;
  net::test::AiosmtpdPeer peer(mails.path());
  ASSERT_NE(peer.Port(), 0);
  const std::string fields =
      " --name 'Ann Example' --phone '+49 30 1' --email ann@example.org --description 'No echo.'";
  auto [rc, out] = Run("support send --server " + peer.Server() + fields, sim.root());
  EXPECT_EQ(rc, 0) << out;
  EXPECT_EQ(out, "sent: Tech Support for Ann Example to support@kestrine.example\n");
  ASSERT_TRUE(net::test::ParseMail(peer.Mail(1), parsed.path()));
  EXPECT_TRUE(
      Has(test::ReadBytes(parsed / "headers.txt"), "To: Kestrine Technical Support <support@kestrine.example>\n"));
  // The customer page dump holds the words `pages` shows.
  const std::string words = Run("pages customer", sim.root()).second;
  const std::string dump = test::ReadBytes(parsed / "CustomerDataPage.txt");
  const auto word = [&words](int w) {
    const auto at = words.find(Format("\n%03d: 0x", w));
    return std::stoi(words.substr(at + 14, 5));  // "\nWWW: 0xHHHH  DDDDD"
  };
  EXPECT_TRUE(dump.starts_with(Format("0000 - %05d %05d ", word(0), word(1)))) << dump.substr(0, 40);
  EXPECT_TRUE(Has(dump, Format("\r\n0016 - %05d ", word(16))));
  EXPECT_TRUE(Has(test::ReadBytes(parsed / "InfoMemory.txt"), "0000 - "));
  for (const char* name : {"InfoMemory.txt", "CustomerDataPage.txt", "FactoryDataPage.txt", "HistoryPage.txt"}) {
    EXPECT_FALSE(fs::exists(home_ / "Logs" / name)) << name;
  }
}

TEST_F(ServiceCli, SupportSendFailures) {
  link::sim::SimProcess sim(TOLVANE_SIM_PATH, {"--identity", "qr27"});
  ASSERT_TRUE(sim.Running());
  const std::string contact = " --name Ann --phone 1 --email ann@example.org";
  // Missing fields, in their order, and no question.
  auto [rc, out] = Run("support send --server mail.example.org --email ann@example.org", sim.root());
  EXPECT_EQ(rc, 2);
  EXPECT_EQ(out, "error: Data incomplete.\n\t- contact name\n\t- phone number\n\t- description of the problem\n");
  // A line break in a field.
  std::tie(rc, out) =
      Run("support send --server mail.example.org --name \"$(printf 'Ann\\r\\nBcc: x@example.org')\" --phone 1 "
          "--email ann@example.org --description x",
          sim.root());
  EXPECT_EQ(rc, 2) << out;
  EXPECT_EQ(out, "error: " + Lang("SERVICE_MESSAGE12"));
  // No server listens: the dumps stay.
  int port = 0;
  {
    net::test::ScriptedTcpPeer gone({});
    port = gone.Port();
  }
  std::tie(rc, out) =
      Run("support send --server 127.0.0.1:" + std::to_string(port) + contact + " --description x", sim.root());
  EXPECT_EQ(rc, 4) << out;
  EXPECT_TRUE(out.starts_with("error: " + Format(Lang("ERROR_MESSAGE100"), "127.0.0.1:" + std::to_string(port))));
  EXPECT_TRUE(fs::exists(home_ / "Logs" / "HistoryPage.txt"));
  // The server refuses the mailbox.
  test::TempDir mails;
  net::test::AiosmtpdPeer refusing(mails.path(), "support@kestrine.example");
  std::tie(rc, out) = Run("support send --server " + refusing.Server() + contact + " --description x", sim.root());
  EXPECT_EQ(rc, 5) << out;
  EXPECT_TRUE(Has(out, "the server answered: 550")) << out;
  // A dump file that cannot be written.
  fs::remove(home_ / "Logs" / "InfoMemory.txt");
  fs::create_directory(home_ / "Logs" / "InfoMemory.txt");
  std::tie(rc, out) = Run("support send --server " + refusing.Server() + contact + " --description x", sim.root());
  EXPECT_EQ(rc, 3) << out;
  EXPECT_TRUE(Has(out, "error opening attachment file - " + (home_ / "Logs" / "InfoMemory.txt").string())) << out;
  // No unit.
  test::TempDir empty;
  fs::create_directories(empty / "sys/class/tty");
  EXPECT_EQ(Run("support send --server " + refusing.Server() + contact + " --description x", empty.path()).first, 1);
  // No support mailbox in the corporate model.
  std::string corporate = test::ReadBytes(home_ / "Models" / "Corporate_Model");
  corporate.erase(corporate.find("SUPPORTMAIL"), 11);
  test::WriteBytes(home_ / "Models" / "Corporate_Model", corporate);
  std::tie(rc, out) = Run("support send --server " + refusing.Server() + contact + " --description x", sim.root());
  EXPECT_EQ(rc, 2);
  EXPECT_EQ(out, "error: " + Lang("SERVICE_MESSAGE11"));
  EXPECT_NE(Run("support", sim.root()).first, 0);
}

TEST_F(ServiceCli, ServiceCodeOfTodayAndOfAnyDate) {
  std::tm day{};
  day.tm_year = 126;
  day.tm_mon = 2;
  day.tm_mday = 15;
  auto [rc, out] = Run("service-code --date 2026-03-15");
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(out, config::ServiceCode(day) + "\n");
  EXPECT_NE(Run("service-code --date 2026-03-16").second, out);

  auto today = [] {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return config::ServiceCode(t) + "\n";
  };
  const std::string before = today();
  std::tie(rc, out) = Run("service-code");
  EXPECT_EQ(rc, 0);
  EXPECT_TRUE(out == before || out == today()) << out;  // midnight may pass in between
  for (const char* bad : {"2026-13-01", "15.03.2026", "2026-03-15x", "tomorrow", "2026-00-10"}) {
    std::tie(rc, out) = Run(std::string("service-code --date ") + bad);
    EXPECT_EQ(rc, 2) << bad;
    EXPECT_TRUE(out.starts_with("error: ")) << bad;
  }
}

}  // namespace
}  // namespace tolvane
