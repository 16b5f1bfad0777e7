// The service commands: the unit's memory pages as the data pages viewer
// shows them, one word changed as the direct entry changes it, the
// information memory as its dialog shows and edits it, a technical support
// request, and today's service code.
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <string>

#include "app/cli/CliCore.h"
#include "app/cli/Commands.h"
#include "common/CheckedFormat.h"
#include "config/ServiceCommands.h"
#include "link/MemoryEdits.h"
#include "link/PageText.h"
#include "net/SupportRequest.h"

namespace tolvane::cli {
namespace {

std::optional<int> PageIndex(const std::string& name, bool writable) {
  static const std::map<std::string, int> kPages{{"customer", link::PAGE_CUSTOMER},
                                                 {"factory", link::PAGE_FACTORY},
                                                 {"history", link::PAGE_HISTORY},
                                                 {"ocm", link::PAGE_OCM}};
  const auto it = kPages.find(name);
  if (it == kPages.end() || (writable && it->second > link::PAGE_FACTORY)) {
    return std::nullopt;
  }
  return it->second;
}

// Reads one page of the unit into the cache. 0, or 1 after printing why.
int ReadUnitPage(link::CUnitMemory& memory, int index) {
  std::array<link::PageImage, 1> one{};
  if (memory.ReadPages(index, one, nullptr, 0, 0, 0, nullptr) != 0) {
    return 1;  // each failed attempt has been printed
  }
  memory.Page(index) = one[0];
  return 0;
}

int StartOnAdapter(CliCore& cli, const std::string& adapter) {
  if (const int rc = cli.Start(); rc != 0) {
    return rc;
  }
  return cli.SelectAdapter(adapter);
}

int RunPoke(const std::string& adapter, const std::string& page, const std::string& word, const std::string& value) {
  CliCore cli;
  if (const int rc = StartOnAdapter(cli, adapter); rc != 0) {
    return rc;
  }
  CProgramCore& core = cli.core();
  const auto index = PageIndex(page, true);
  link::DIRECT_ENTRY entry;
  if (const char* refused = link::CheckDirectEntry(word, value, index ? *index + 1 : 0, entry)) {
    std::fprintf(stderr, "error: %s\n", core.Text(refused).c_str());
    return 2;
  }
  if (const int rc = ReadUnitPage(core.memory, *index); rc != 0) {
    return rc;
  }
  if (const int rc = link::ApplyDirectEntry(core.memory, entry); rc != 0) {
    std::fprintf(stderr, "error: %s\n",
                 Format(core.Text("ERROR_MESSAGE77"), rc, entry.page, entry.address, entry.value).c_str());
    return 1;
  }
  // Read back: the unit's page must now be the page that was written.
  if (core.memory.VerifyPage(*index) != 1) {
    std::fprintf(stderr, "error: the %s page read back differs from the page written\n", page.c_str());
    return 1;
  }
  std::printf("%s word %d = %d (0x%04X), verified\n", page.c_str(), entry.address, entry.value,
              static_cast<unsigned>(entry.value));
  return 0;
}

int RunInfoMemory(const std::string& adapter, const std::string& action, const std::string& field,
                  const std::string& value) {
  if (action != "show" && action != "set") {
    std::fprintf(stderr, "error: unknown action \"%s\" (show or set)\n", action.c_str());
    return 2;
  }
  const auto which = link::InfoFieldByName(field);
  if (action == "set" && !which) {
    std::fprintf(stderr, "error: unknown field \"%s\" (TCAL, TVAL, CALA, CALC, CALD, HWSERIAL, HWMODEL, CALDONE)\n",
                 field.c_str());
    return 2;
  }
  CliCore cli;
  if (const int rc = StartOnAdapter(cli, adapter); rc != 0) {
    return rc;
  }
  CProgramCore& core = cli.core();
  link::CUnitMemory& memory = core.memory;
  if (const int rc = memory.ReadInfoMemory(memory.Info()); rc != 0) {
    std::fprintf(stderr, "error: %s (%d)\n", core.Text("SERVICE_MESSAGE2").c_str(), rc);
    return 1;
  }
  if (action == "set") {
    if (const char* refused = link::CheckInfoText(*which, value)) {
      std::fprintf(stderr, "error: %s\n", core.Text(refused).c_str());
      return 2;
    }
    link::StoreInfoText(*which, value, memory.Info());
    if (const int rc = memory.WriteInfoMemory(memory.Info()); rc != 0) {
      std::fprintf(stderr, "error: %s\n", Format(core.Text("ERROR_MESSAGE76"), rc).c_str());
      return 1;
    }
    link::InfoImage back{};
    if (const int rc = memory.ReadInfoMemory(back); rc != 0 || back != memory.Info()) {
      std::fprintf(stderr, "error: the information memory read back differs from what was written\n");
      return 1;
    }
  }
  const link::INFO_TEXTS texts = link::InfoMemoryTexts(memory.Info());
  for (int f = 0; f < link::INFO_FIELD_COUNT; ++f) {
    if (action == "show" || f == *which) {
      std::printf("%-9s %s\n", link::InfoFieldName(f), texts[static_cast<std::size_t>(f)].c_str());
    }
  }
  return 0;
}

struct SUPPORT_OPTIONS {
  std::string adapter;
  net::CONTACT_RECORD contact;
  std::string description;
};

int RunSupport(const SUPPORT_OPTIONS& o) {
  CliCore cli;
  if (const int rc = cli.Start(); rc != 0) {
    return rc;
  }
  CProgramCore& core = cli.core();
  const int lang = core.settings.languageNumber;
  if (const unsigned missing = net::MissingFields(o.contact, o.description); missing != 0) {
    std::string text = net::IncompleteQuestion(missing, core.language, lang);
    text.resize(text.rfind('\n') + 1);  // without the question: nothing is asked here
    std::fprintf(stderr, "error: %s", text.c_str());
    return 2;
  }
  if (!net::ContactIsSingleLines(o.contact)) {
    std::fprintf(stderr, "error: %s\n", core.Text("SERVICE_MESSAGE12").c_str());
    return 2;
  }
  net::CSMTPAddress mailbox;
  if (!net::ParseSupportMailbox(core.tables.program.supportMail, mailbox)) {
    std::fprintf(stderr, "error: %s\n", core.Text("SERVICE_MESSAGE11").c_str());
    return 2;
  }
  if (const int rc = cli.SelectAdapter(o.adapter); rc != 0) {
    return rc;
  }
  link::CUnitMemory& memory = core.memory;
  if (memory.ReadPages(-1, memory.Pages(), nullptr, 0, 0, 0, nullptr) != 0) {
    std::fprintf(stderr, "error: the memory pages of the unit cannot be read\n");
    return 1;
  }
  if (const int rc = memory.ReadInfoMemory(memory.Info()); rc != 0) {
    std::fprintf(stderr, "error: %s (%d)\n", core.Text("SERVICE_MESSAGE2").c_str(), rc);
    return 1;
  }
  const net::SUPPORT_MEMORY image{memory.Info(), memory.Page(link::PAGE_CUSTOMER), memory.Page(link::PAGE_FACTORY),
                                  memory.Page(link::PAGE_HISTORY)};
  net::CSMTPConnection connection(core.services.clock);
  const net::SUPPORT_RESULT r = net::SubmitSupportRequest(o.contact, o.description, image, core.folders.logs, mailbox,
                                                          connection, core.services.messages, core.language, lang);
  switch (r.outcome) {
    case net::SUPPORT_OUTCOME::Sent:
      std::printf("sent: Tech Support for %s to %s\n", o.contact.name.c_str(), mailbox.address.c_str());
      return 0;
    case net::SUPPORT_OUTCOME::DumpFailed:
      std::fprintf(stderr, "error: %s\n", r.message.c_str());
      return 3;
    case net::SUPPORT_OUTCOME::ConnectFailed:
    case net::SUPPORT_OUTCOME::SendFailed:
      std::fprintf(stderr, "error: %s\n", r.message.c_str());
      if (!r.reply.empty()) {
        std::fprintf(stderr, "       the server answered: %s\n", r.reply.c_str());
      }
      return r.outcome == net::SUPPORT_OUTCOME::ConnectFailed ? 4 : 5;
  }
  return 1;
}

int RunServiceCode(const std::string& date) {
  std::tm day{};
  if (date.empty()) {
    const std::time_t now = std::time(nullptr);
    localtime_r(&now, &day);
  } else {
    int y = 0;
    int m = 0;
    int d = 0;
    char end = 0;
    if (std::sscanf(date.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &end) != 3 || y < 1900 || m < 1 || m > 12 || d < 1 ||
        d > 31) {
      std::fprintf(stderr, "error: \"%s\" is no date (YYYY-MM-DD)\n", date.c_str());
      return 2;
    }
    day.tm_year = y - 1900;
    day.tm_mon = m - 1;
    day.tm_mday = d;
  }
  std::printf("%s\n", config::ServiceCode(day).c_str());
  return 0;
}

}  // namespace

int RunPages(const std::string& adapter, const std::string& page, bool hex) {
  const auto index = PageIndex(page, false);
  if (!index) {
    std::fprintf(stderr, "error: unknown page \"%s\" (customer, factory, history or ocm)\n", page.c_str());
    return 2;
  }
  CliCore cli;
  if (const int rc = StartOnAdapter(cli, adapter); rc != 0) {
    return rc;
  }
  link::CUnitMemory& memory = cli.core().memory;
  if (const int rc = ReadUnitPage(memory, *index); rc != 0) {
    return rc;
  }
  const link::PageImage& bytes = memory.Page(*index);
  PrintViewerText(hex ? link::FormatPageHex(bytes) : link::FormatPageWords(bytes));
  return 0;
}

void PrintViewerText(const std::string& text) {
  // The viewer's rows end with CR LF; a terminal wants line feeds.
  for (const char c : text) {
    if (c != '\r') {
      std::putchar(c);
    }
  }
}

CommandRunner AddServiceCommands(CLI::App& app) {
  struct Options {
    std::string adapter;
    std::string page = "customer";
    bool hex = false;
    std::string word, value;
    std::string action, field;
    SUPPORT_OPTIONS support;
    std::string date;
  };
  auto o = std::make_shared<Options>();
  auto* pages = app.add_subcommand("pages", "Print a memory page of the unit as the data pages viewer shows it");
  pages->add_option("page", o->page, "customer (the default), factory, history or ocm");
  pages->add_flag("--hex", o->hex, "Hex dump instead of words");
  pages->add_option("--adapter", o->adapter, "Adapter description (when there are several)");

  auto* poke = app.add_subcommand("poke", "Change one word of the Customer or Factory page and verify it");
  poke->add_option("page", o->page, "customer or factory")->required();
  poke->add_option("word", o->word, "Word address, 0..255")->required();
  poke->add_option("value", o->value, "New value, 0..65535")->required();
  poke->add_option("--adapter", o->adapter, "Adapter description (when there are several)");

  auto* info = app.add_subcommand("info-memory", "Show or change a field of the unit's information memory");
  info->add_option("action", o->action, "show, or set FIELD VALUE")->required();
  info->add_option("field", o->field, "TCAL, TVAL, CALA, CALC, CALD, HWSERIAL, HWMODEL or CALDONE");
  info->add_option("value", o->value, "The field's new text, as typed into the dialog");
  info->add_option("--adapter", o->adapter, "Adapter description (when there are several)");

  auto* support = app.add_subcommand("support", "Technical support requests");
  auto* send = support->add_subcommand(
      "send",
      "Mail the unit's memory and a problem description to support. Exit status: 0 sent, 1 the unit cannot be read, 2 "
      "data missing or not single lines (or no support mailbox), 3 a dump file cannot be written, 4 the mail server "
      "cannot be reached, 5 the mail was refused");
  support->require_subcommand(1);
  send->add_option("--server", o->support.contact.server, "Mail server, HOST[:PORT] (port 25 by default)");
  send->add_option("--name", o->support.contact.name, "Your name");
  send->add_option("--phone", o->support.contact.phone, "Your phone number");
  send->add_option("--email", o->support.contact.email, "Your e-mail address");
  send->add_option("--description", o->support.description, "What the problem is");
  send->add_option("--adapter", o->support.adapter, "Adapter description (when there are several)");

  auto* code = app.add_subcommand("service-code", "Print today's service code");
  code->add_option("--date", o->date, "The code of another day, YYYY-MM-DD");

  return [pages, poke, info, send, code, o]() -> std::optional<int> {
    if (pages->parsed()) {
      return RunPages(o->adapter, o->page, o->hex);
    }
    if (poke->parsed()) {
      return RunPoke(o->adapter, o->page, o->word, o->value);
    }
    if (info->parsed()) {
      return RunInfoMemory(o->adapter, o->action, o->field, o->value);
    }
    if (send->parsed()) {
      return RunSupport(o->support);
    }
    if (code->parsed()) {
      return RunServiceCode(o->date);
    }
    return std::nullopt;
  };
}

}  // namespace tolvane::cli
