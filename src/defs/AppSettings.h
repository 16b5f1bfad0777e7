// The settings block of a run: values kept between runs in the settings
// store, and a few that live for the run only. The model file parser fills it
// from the settings keys of a settings file and from the corporate model
// (REGISTRY_FILE, LANGUAGE_FILE, LANGUAGE_NUMBER, SELECTSTR); the settings
// store (shell) loads and writes it.
#pragma once

#include <string>

namespace tolvane {

struct APP_SETTINGS {
  bool guide = false;           // GUIDE: offer the quick start guide at start
  std::string guideFile;        // GFILE: the guide document in the help folder
  bool kestrineMode = false;    // KESTRINE_MODE: the maker's service mode
  std::string demoModel;        // DEMOMODEL
  std::string demoSerial;       // DEMOSERIAL
  std::string demoSoftwareRevision;  // DEMOSWREV
  bool autoUpdate = false;      // run only: a newer-firmware offer was accepted
  bool optOut = false;          // OPTOUT: no configuration uploads
  bool pending = false;         // PENDING: uploads are waiting
  bool demoTab = false;         // DEMOTAB: show the demonstration display page
  std::string version;          // VERSION: installed program version, dotted
  std::string dbVersion;        // DBVERSION: newest version declined at start
  bool techSupport = false;     // TECHSUPPORT
  std::string prefUnits;        // PREF_UNITS: units preselected on the form
  std::string registryFile;     // REGISTRY_FILE of the corporate model
  std::string languageFile;     // LANGUAGE_FILE of the corporate model
  int languageNumber = 0;       // LANGUAGE_NUMBER of the corporate model
  std::string selectText;       // SELECTSTR in the run's language
  int startPage = 0;            // run only: page the main form opens on
};

}  // namespace tolvane
