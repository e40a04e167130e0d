// SPDX-License-Identifier: Apache-2.0
#include "ui/texts.h"

#include <array>
#include <cctype>
#include <string_view>
#include <vector>

namespace tarsin::ui {

namespace {

const std::string kDisplayName = "Tarsin RF";

// One row a line of the log, in the order of Line: English, French.
const std::array<std::array<std::string, 2>, 18>& LineTable() {
  static const std::array<std::array<std::string, 2>, 18> table{{
      {"Starting the test.", "Début du test."},
      {"Opening encoder \"%1\", protocol %2...", "Ouverture de l'encodeur \"%1\", protocole %2..."},
      {"unknown", "inconnu"},
      {"T=0", "T=0"},
      {"T=1", "T=1"},
      {"Failed to open the encoder.", "Impossible d'ouvrir l'encodeur."},
      {"Encoder open. Active protocol: %1", "Ouvert. Protocole actif: %1"},
      {"Card available in the encoder.", "Carte présente dans l'encodeur."},
      {"No card available in the encoder.", "Pas de carte dans l'encodeur."},
      {"Encoder type: %1", "Type d'encodeur : %1"},
      {"Vendor name: %1", "Fabricant: %1"},
      {"Type: %1", "Type: %1"},
      {"Version: %1", "Version: %1"},
      {"Serial number: %1", "Numéro de série: %1"},
      {"Closing the encoder...", "Fermeture de l'encodeur"},
      {"\r\n<< Successful test >>\r\n", "\r\n<< Test réussi >>\r\n"},
      {"\r\n<< Test failed >>\r\n", "\r\n<< Echec du test >>\r\n"},
      {"Error %1: %2", "Erreur %1 : %2"},
  }};
  return table;
}

}  // namespace

bool IsFrench(std::string_view language) {
  constexpr std::string_view kFrench = "francais";
  if (language.size() != kFrench.size()) return false;
  for (size_t i = 0; i < kFrench.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(language[i])) != kFrench[i]) return false;
  }
  return true;
}

const ConfigurationCaptions& ConfigurationCaptionsIn(bool french) {
  static const ConfigurationCaptions english{
      .title = kDisplayName + " encoder Configuration",
      .unknownDevice = "-- Unknown --",
      .test = "&Test settings...",
      .cancel = "Cancel",
      .ok = "OK",
      .device = "&Encoder:",
      .protocol = "&Protocol:",
  };
  static const ConfigurationCaptions frenchCaptions{
      .title = "Configuration de l'encodeur " + kDisplayName,
      .unknownDevice = "-- Inconnu --",
      .test = "&Test encodeur...",
      .cancel = "Annuler",
      .ok = "OK",
      .device = "&Encodeur :",
      .protocol = "&Protocole :",
  };
  return french ? frenchCaptions : english;
}

const std::string& TestTexts::Text(Line line) const {
  return LineTable()[static_cast<size_t>(line)][french ? 1 : 0];
}

const TestTexts& TestTextsIn(bool french) {
  static const TestTexts english{kDisplayName + " encoder test", "OK", false};
  static const TestTexts frenchTexts{"Test de l'encodeur " + kDisplayName, "OK", true};
  return french ? frenchTexts : english;
}

std::string Fill(std::string_view pattern, std::initializer_list<std::string_view> values) {
  const std::vector<std::string_view> filling(values);
  std::string text;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const size_t index = i + 1 < pattern.size() ? static_cast<size_t>(pattern[i + 1] - '1') : 9;
    if (pattern[i] == '%' && index < filling.size()) {
      text += filling[index];
      ++i;
    } else {
      text += pattern[i];
    }
  }
  return text;
}

}  // namespace tarsin::ui
