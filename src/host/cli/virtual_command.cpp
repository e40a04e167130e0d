// SPDX-License-Identifier: Apache-2.0
// `tarsin-rf virtual`: the virtual readers' file, managed by hand through the entry points of the
// virtual reader's provider (the simulator stays out of the component's own code).
#include <fmt/format.h>

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>

#include "core/failure.h"
#include "core/shared_library.h"
#include "host/cli/commands.h"
#include "host/cli/report.h"

namespace tarsin::cli {
namespace {

struct VirtualOptions {
  std::string reader = "Tarsin Virtual Reader 0";
  std::string type;
  std::string uid;
};

// An entry point of the provider built with the project; nullptr (with a message) without one.
template <class Function>
Function* Entry(const char* name) {
#ifdef TARSIN_VPCSC_LIBRARY
  try {
    return reinterpret_cast<Function*>(
        SharedLibrary::Loaded(TARSIN_VPCSC_LIBRARY).EntryPoint(name));
  } catch (const Failure& failure) {
    fmt::print(stderr, "tarsin-rf: {}\n", failure.description());
  }
#else
  fmt::print(stderr, "tarsin-rf: this build has no virtual reader ({})\n", name);
#endif
  return nullptr;
}

// The card types the provider makes, each with the UID a blank card gets unless one is given.
constexpr std::pair<std::string_view, std::string_view> kCardTypes[] = {
    {"mifare-classic-1k", "B47C2E91"},           {"mifare-classic-4k", "B47C2E91"},
    {"mifare-ultralight", "045A318A2C3B80"},     {"mifare-desfire-ev1-2k", "045A318A2C3B80"},
    {"mifare-desfire-ev1-4k", "045A318A2C3B80"}, {"mifare-desfire-ev1-8k", "045A318A2C3B80"},
};

// The readers file, read; `why` says what is wrong with it when it cannot be used: missing, or
// corrupt with the parser's reason (never "missing", which would invite writing over it).
std::optional<nlohmann::json> ReadersFile(const std::string& path, std::string& why) {
  std::ifstream in(path);
  if (!in) {
    why = fmt::format("{}: no readers file yet (tarsin-rf virtual init writes one)", Shown(path));
    return std::nullopt;
  }
  try {
    nlohmann::json contents = nlohmann::json::parse(in);
    if (contents.is_object() && contents.value("readers", nlohmann::json()).is_array()) {
      return contents;
    }
    why = "it holds no list of readers";
  } catch (const nlohmann::json::exception& e) {
    why = e.what();
  }
  why = fmt::format("{} is corrupt: {}", Shown(path), why);
  return std::nullopt;
}

// Why `reader` cannot be changed: the file cannot be used, or has no reader of that name.
std::optional<std::string> ReaderProblem(const std::string& reader) {
  const auto path = Entry<const char*()>("tarsin_vpcsc_readers_path");
  if (!path) return "the virtual reader's provider cannot be loaded";
  std::string why;
  const auto contents = ReadersFile(path(), why);
  if (!contents) return why;
  for (const auto& entry : (*contents)["readers"]) {
    if (entry.is_object() && entry.value("name", "") == reader) return std::nullopt;
  }
  return fmt::format("no virtual reader named \"{}\" in {}", Shown(reader), Shown(path()));
}

int Show() {
  const auto path = Entry<const char*()>("tarsin_vpcsc_readers_path");
  if (!path) return 2;
  std::string why;
  const auto contents = ReadersFile(path(), why);
  if (!contents) {
    fmt::print(stderr, "tarsin-rf: {}\n", why);
    return 1;
  }
  fmt::print("{}\n", Shown(path()));
  for (const auto& entry : (*contents)["readers"]) {
    if (!entry.is_object()) continue;
    const nlohmann::json card = entry.value("card", nlohmann::json());
    std::string what = "no card";
    if (card.is_object()) {
      what = fmt::format("{} {}{}", card.value("type", "?"), card.value("uid", "?"),
                         entry.value("cardPresent", true) ? "" : " (out of the field)");
    }
    fmt::print("{}{}: {}\n", Shown(entry.value("name", "?")),
               entry.value("present", true) ? "" : " (unplugged)", Shown(what));
  }
  return 0;
}

// 0 when the provider's call succeeded; 1 with `failure` shown when it did not.
int Outcome(bool done, const std::string& failure) {
  if (!done) fmt::print(stderr, "tarsin-rf: {}\n", failure);
  return done ? 0 : 1;
}

// The provider's call on a reader, when the file has that reader; 1 with the reason otherwise.
template <class Call>
int OnReader(const std::string& reader, Call call, const std::string& failure) {
  if (const auto problem = ReaderProblem(reader)) return Outcome(false, *problem);
  const auto done = call();
  return !done ? 2 : Outcome(*done, failure);
}

int Insert(const VirtualOptions& options) {
  const auto* const known =
      std::ranges::find(kCardTypes, std::string_view(options.type),
                        &std::pair<std::string_view, std::string_view>::first);
  if (known == std::end(kCardTypes)) {
    std::string types;
    for (const auto& [type, uid] : kCardTypes)
      types += (types.empty() ? "" : ", ") + std::string(type);
    return Outcome(false,
                   fmt::format("unknown card type \"{}\" (one of {})", Shown(options.type), types));
  }
  const std::string uid = options.uid.empty() ? std::string(known->second) : options.uid;
  const auto insertCard =
      Entry<int(const char*, const char*, const char*)>("tarsin_vpcsc_insert_card");
  return OnReader(
      options.reader,
      [&]() -> std::optional<bool> {
        if (!insertCard) return std::nullopt;
        return insertCard(options.reader.c_str(), options.type.c_str(), uid.c_str()) == 1;
      },
      fmt::format("the UID \"{}\" was refused: 4 or 7 bytes in hex (or the readers file cannot "
                  "be written)",
                  Shown(uid)));
}

}  // namespace

void AddVirtualCommand(CLI::App& app) {
  auto options = std::make_shared<VirtualOptions>();
  CLI::App* command = app.add_subcommand("virtual", "Manage the virtual readers and their cards");
  command->require_subcommand(1);
  command->footer(
      "The file is $TARSIN_RF_VIRTUAL_READERS, else Quillon/Nemora/virtual-readers.json in the "
      "user's data folder. Exit status: 0; 1 for an unknown reader or card type, a UID refused, "
      "or a readers file missing or corrupt; 2 for a usage error or when the virtual reader is "
      "not built.");
  const auto readerOption = [&](CLI::App* sub) {
    sub->add_option("-r,--reader", options->reader, "The reader's name")->capture_default_str();
  };
  command->add_subcommand("init", "Write the two default readers, cards blank")->callback([] {
    const auto init = Entry<int()>("tarsin_vpcsc_init_readers");
    exit_status = !init ? 2 : Outcome(init() == 1, "the readers file cannot be written");
    if (exit_status == 0) exit_status = Show();
  });
  command->add_subcommand("show", "List the readers and their cards")->callback([] {
    exit_status = Show();
  });
  CLI::App* insert = command->add_subcommand("insert", "Put a blank card of TYPE in the field");
  insert
      ->add_option("type", options->type,
                   "mifare-classic-1k, mifare-classic-4k, mifare-ultralight, "
                   "mifare-desfire-ev1-2k, -4k or -8k")
      ->required();
  insert->add_option("--uid", options->uid, "The card's UID in hex (4 or 7 bytes)");
  readerOption(insert);
  insert->callback([options] { exit_status = Insert(*options); });
  CLI::App* remove = command->add_subcommand("remove", "Take the card out of the field");
  readerOption(remove);
  remove->callback([options] {
    const auto setPresent = Entry<int(const char*, int)>("tarsin_vpcsc_set_card_present");
    exit_status = OnReader(
        options->reader,
        [&]() -> std::optional<bool> {
          if (!setPresent) return std::nullopt;
          return setPresent(options->reader.c_str(), 0) == 1;
        },
        "the readers file cannot be written");
  });
  CLI::App* reset = command->add_subcommand(
      "reset", "Make the reader's card blank again and put it back in the field");
  readerOption(reset);
  reset->callback([options] {
    const auto resetCard = Entry<int(const char*)>("tarsin_vpcsc_reset_card");
    exit_status = OnReader(
        options->reader,
        [&]() -> std::optional<bool> {
          if (!resetCard) return std::nullopt;
          return resetCard(options->reader.c_str()) == 1;
        },
        "the readers file cannot be written");
  });
}

}  // namespace tarsin::cli
