// A support mail with the four memory dumps sent to aiosmtpd on the loopback
// interface: the time from Open to Close (goal: at most 100 ms; replies that
// are already there must be read without a pause).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include <stdlib.h>

#include "common/Clock.h"
#include "net/SmtpPeers.h"
#include "net/SupportRequest.h"

namespace {

namespace fs = std::filesystem;
using namespace tolvane;
using namespace tolvane::net;

double Ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

int main() {
  char pattern[] = "/tmp/tolvane-bench-XXXXXX";
  const fs::path dir = mkdtemp(pattern);
  fs::create_directories(dir / "mails");
  fs::create_directories(dir / "logs");
  int status = 0;
  {
    test::AiosmtpdPeer peer(dir / "mails");
    if (peer.Port() == 0) {
      std::fprintf(stderr, "bench_support_mail: aiosmtpd did not start\n");
      return 1;
    }
    CLanguageFile language(fs::path(TOLVANE_SOURCE_DATA) / "Models", nullptr);
    language.Load("Tolvane_Language.txt");
    std::array<std::uint8_t, 128> info{};
    std::array<std::uint8_t, 512> customer{}, factory{}, history{};
    for (std::size_t i = 0; i < 512; ++i) {
      customer[i] = static_cast<std::uint8_t>(i);
      factory[i] = static_cast<std::uint8_t>(i * 7);
      history[i] = static_cast<std::uint8_t>(i * 13);
    }
    const SUPPORT_MEMORY memory{info, customer, factory, history};
    const CONTACT_RECORD contact{peer.Server(), "Bench Mark", "+49 30 000", "bench@example.org"};
    const CSMTPAddress mailbox{"Support", "support@kestrine.example"};
    RealClock clock;
    std::vector<double> times;
    for (int run = 0; run < 20; ++run) {
      fs::path failed;
      if (WriteSupportDumps(dir / "logs", memory, failed) != 0) {
        std::fprintf(stderr, "bench_support_mail: cannot write %s\n", failed.c_str());
        status = 1;
        break;
      }
      CSMTPConnection connection(clock);
      const auto t0 = std::chrono::steady_clock::now();
      const SUPPORT_RESULT r =
          SendSupportMail(contact, "Benchmark run.", dir / "logs", mailbox, connection, language, 0);
      const double ms = Ms(std::chrono::steady_clock::now() - t0);
      if (r.outcome != SUPPORT_OUTCOME::Sent) {
        std::fprintf(stderr, "bench_support_mail: %s (%d %s)\n", r.message.c_str(), r.smtpError, r.reply.c_str());
        status = 1;
        break;
      }
      times.push_back(ms);
    }
    if (status == 0) {
      std::sort(times.begin(), times.end());
      std::printf(
          "Support mail with four dumps to aiosmtpd, Open to Close: median %.1f ms, min %.1f ms, max %.1f ms over %zu "
          "mails (target <= 100 ms)\n",
          times[times.size() / 2], times.front(), times.back(), times.size());
    }
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
  return status;
}
