// `tarsin-rf virtual`: the virtual readers' file, managed by hand through the entry points of the
// virtual reader's provider (the simulator stays out of the component's own code).
#include <fmt/format.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "core/failure.h"
#include "core/shared_library.h"
#include "host/cli/commands.h"

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

int Show() {
  const auto path = Entry<const char*()>("tarsin_vpcsc_readers_path");
  if (!path) return 2;
  std::ifstream in(path());
  const nlohmann::json contents = nlohmann::json::parse(in, nullptr, false);
  if (!contents.is_object()) {
    fmt::print("{}: no readers file yet (tarsin-rf virtual init writes one)\n", path());
    return 1;
  }
  fmt::print("{}\n", path());
  for (const auto& entry : contents.value("readers", nlohmann::json::array())) {
    const nlohmann::json card = entry.value("card", nlohmann::json());
    std::string what = "no card";
    if (card.is_object()) {
      what = fmt::format("{} {}{}", card.value("type", "?"), card.value("uid", "?"),
                         entry.value("cardPresent", true) ? "" : " (out of the field)");
    }
    fmt::print("{}{}: {}\n", entry.value("name", "?"),
               entry.value("present", true) ? "" : " (unplugged)", what);
  }
  return 0;
}

// 0 when the provider's call succeeded; 1 with `failure` shown when it did not.
int Outcome(bool done, const std::string& failure) {
  if (!done) fmt::print(stderr, "tarsin-rf: {}\n", failure);
  return done ? 0 : 1;
}

}  // namespace

void AddVirtualCommand(CLI::App& app) {
  auto options = std::make_shared<VirtualOptions>();
  CLI::App* command = app.add_subcommand("virtual", "Manage the virtual readers and their cards");
  command->require_subcommand(1);
  command->footer(
      "The file is $TARSIN_RF_VIRTUAL_READERS, else Quillon/Nemora/virtual-readers.json in the "
      "user's data folder. Exit status: 0; 1 for an unknown reader or card type; 2 when the "
      "virtual reader is not built.");
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
  insert->callback([options] {
    const auto insertCard =
        Entry<int(const char*, const char*, const char*)>("tarsin_vpcsc_insert_card");
    // A UID of the length the kind of card has, unless one is given.
    const std::string uid = !options->uid.empty()                         ? options->uid
                            : options->type.starts_with("mifare-classic") ? "B47C2E91"
                                                                          : "045A318A2C3B80";
    exit_status =
        !insertCard
            ? 2
            : Outcome(insertCard(options->reader.c_str(), options->type.c_str(), uid.c_str()) == 1,
                      fmt::format("no card of type \"{}\" (UID {}) on a reader "
                                  "named \"{}\"",
                                  options->type, uid, options->reader));
  });
  CLI::App* remove = command->add_subcommand("remove", "Take the card out of the field");
  readerOption(remove);
  remove->callback([options] {
    const auto setPresent = Entry<int(const char*, int)>("tarsin_vpcsc_set_card_present");
    exit_status = !setPresent ? 2
                              : Outcome(setPresent(options->reader.c_str(), 0) == 1,
                                        "no virtual reader named \"" + options->reader + "\"");
  });
  CLI::App* reset = command->add_subcommand(
      "reset", "Make the reader's card blank again and put it back in the field");
  readerOption(reset);
  reset->callback([options] {
    const auto resetCard = Entry<int(const char*)>("tarsin_vpcsc_reset_card");
    exit_status = !resetCard ? 2
                             : Outcome(resetCard(options->reader.c_str()) == 1,
                                       "no virtual reader named \"" + options->reader + "\"");
  });
}

}  // namespace tarsin::cli
