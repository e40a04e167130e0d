#include "ui/texts.h"

#include <array>

namespace tarsin::ui {

using namespace Qt::StringLiterals;

namespace {

const QString kDisplayName = QStringLiteral("Tarsin RF");

// One row a line of the log, in the order of Line: English, French.
const std::array<std::array<QString, 2>, 18>& LineTable() {
  static const std::array<std::array<QString, 2>, 18> table{{
      {u"Starting the test."_s, u"Début du test."_s},
      {u"Opening encoder \"%1\", protocol %2..."_s,
       u"Ouverture de l'encodeur \"%1\", protocole %2..."_s},
      {u"unknown"_s, u"inconnu"_s},
      {u"T=0"_s, u"T=0"_s},
      {u"T=1"_s, u"T=1"_s},
      {u"Failed to open the encoder."_s, u"Impossible d'ouvrir l'encodeur."_s},
      {u"Encoder open. Active protocol: %1"_s, u"Ouvert. Protocole actif: %1"_s},
      {u"Card available in the encoder."_s, u"Carte présente dans l'encodeur."_s},
      {u"No card available in the encoder."_s, u"Pas de carte dans l'encodeur."_s},
      {u"Encoder type: %1"_s, u"Type d'encodeur : %1"_s},
      {u"Vendor name: %1"_s, u"Fabricant: %1"_s},
      {u"Type: %1"_s, u"Type: %1"_s},
      {u"Version: %1"_s, u"Version: %1"_s},
      {u"Serial number: %1"_s, u"Numéro de série: %1"_s},
      {u"Closing the encoder..."_s, u"Fermeture de l'encodeur"_s},
      {u"\r\n<< Successful test >>\r\n"_s, u"\r\n<< Test réussi >>\r\n"_s},
      {u"\r\n<< Test failed >>\r\n"_s, u"\r\n<< Echec du test >>\r\n"_s},
      {u"Error %1: %2"_s, u"Erreur %1 : %2"_s},
  }};
  return table;
}

}  // namespace

bool IsFrench(const QString& language) {
  return language.toLower() == u"francais";
}

const ConfigurationCaptions& ConfigurationCaptionsIn(bool french) {
  static const ConfigurationCaptions english{
      .title = kDisplayName + u" encoder Configuration"_s,
      .unknownDevice = u"-- Unknown --"_s,
      .test = u"&Test settings..."_s,
      .cancel = u"Cancel"_s,
      .ok = u"OK"_s,
      .device = u"&Encoder:"_s,
      .protocol = u"&Protocol:"_s,
  };
  static const ConfigurationCaptions frenchCaptions{
      .title = u"Configuration de l'encodeur "_s + kDisplayName,
      .unknownDevice = u"-- Inconnu --"_s,
      .test = u"&Test encodeur..."_s,
      .cancel = u"Annuler"_s,
      .ok = u"OK"_s,
      .device = u"&Encodeur :"_s,
      .protocol = u"&Protocole :"_s,
  };
  return french ? frenchCaptions : english;
}

QString TestTexts::Text(Line line) const {
  return LineTable()[static_cast<size_t>(line)][french ? 1 : 0];
}

const TestTexts& TestTextsIn(bool french) {
  static const TestTexts english{kDisplayName + u" encoder test"_s, u"OK"_s, false};
  static const TestTexts frenchTexts{u"Test de l'encodeur "_s + kDisplayName, u"OK"_s, true};
  return french ? frenchTexts : english;
}

}  // namespace tarsin::ui
