// Configuration files: the text written for a configuration, the
// reader's rules, the naming and numbering of saved files, the file date
// text, and a field-by-field comparison of two configurations. Core code on
// plain data: the form, the command-line program and the tests share it.
//
// Choices made where the format leaves room:
// - "Configuration Number" is 0 when no configuration is matched (model
//   configurations are numbered from 1, so 0 names none).
// - UNITS records the entry of the units box, which lists the model's UNITS
//   followed by its NLUNITS: with a linear unit that is `unitsIndex` and the
//   unit's name; with a volume unit it is the number of UNITS plus
//   `unitsIndex` and the volume unit's name. The reader maps the entry back
//   the same way (a volume entry sets `volumeUnits`); an entry outside the
//   box is ignored. Heights stay in the last linear unit, which the file does
//   not record.
// - Text values (notes, names) are written on one line: a CR or LF in them is
//   written as a space, so a value can never add a line to the file. An
//   apostrophe in a value starts the reader's comment, as it always has: text
//   after it is not read back.
// - A number the reader meets that is not finite ("nan", "inf", or one too
//   large for a double) or an integer that does not fit 32 bits never reaches
//   the record: a height or level becomes not set (-1); any other line
//   carrying it is ignored. A dimension beyond the range of a single-precision
//   float is ignored the same way; a structure type must fit 16 bits.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/Messages.h"
#include "config/PageMapping.h"
#include "defs/ConfigRecord.h"
#include "defs/LanguageFile.h"
#include "defs/ModelTables.h"

namespace tolvane::config {

// The non-linear state a configuration file holds. The shape data's flags bit 0
// ("set = non-linear off") is `on` here, inverted. `page` holds what the
// Customer page keeps: the dimension unit (not in the file) and D[0..8].
struct CONFIG_NONLINEAR {
  bool on = false;
  std::int32_t structureType = -1;
  NONLINEAR_PAGE page;
};

// Results of ReadConfigFile.
enum READ_CONFIG_RESULT : int {
  READ_CONFIG_OK = 0,
  READ_CONFIG_CANNOT_OPEN = 1,
  READ_CONFIG_OTHER_MODEL = 2,
  READ_CONFIG_INCOMPLETE = 3,  // ReadCompleteConfigFile only
};

// The text of a configuration file, line by line in the file's fixed layout ("\n"
// line ends). The shown values are the record's values.
std::string ConfigFileText(const MODEL_DEFINITION& model, const CONFIG_RECORD& record,
                           const CONFIG_NONLINEAR& nonLinear);

// Writes the text as UTF-16 LE with byte-order mark and CR LF line ends into
// a file beside `path` and renames it over `path`. False when it cannot be
// written; an existing file is then left as it was.
bool WriteConfigFile(const std::filesystem::path& path, const MODEL_DEFINITION& model, const CONFIG_RECORD& record,
                     const CONFIG_NONLINEAR& nonLinear);

// Reads a configuration file (8-bit or UTF-16) into the record and the
// non-linear state: keys found as substrings, a bracketed index, leading numbers. Heights and levels are
// stored snapped to what the page can represent in the record's units (the
// value the form's box then shows). Gives READ_CONFIG_OK, _CANNOT_OPEN or
// _OTHER_MODEL (ERROR_MESSAGE54 shown in an error box first). The file is
// read into a copy that replaces the record and the non-linear state only
// when the whole file was read: on any failure both stay exactly as they
// were (the lines before a MODEL line of another model are not applied). A
// line the reader does not understand is skipped; reading never fails on
// content. Only a regular file (or a link to one) is read.
int ReadConfigFile(const std::filesystem::path& path, const MODEL_DEFINITION& model, CONFIG_RECORD& record,
                   CONFIG_NONLINEAR& nonLinear, IMessageBox& messages, const CLanguageFile& language,
                   int languageNumber);

// The reading of a file that is to be written into a unit as it stands (the
// command line's write-config): only what the file itself supplies counts.
// The file is read as ReadConfigFile reads it, over `record` with its
// configuration taken back to nothing chosen and nothing set (selections at
// their prompts, heights and levels not set; the identity, the units and the
// notes stay); READ_CONFIG_INCOMPLETE when the result is not a valid,
// complete configuration (an empty file, a byte-order mark alone, a binary
// file, a file cut short). On any result but READ_CONFIG_OK the record and
// the non-linear state stay as they were.
int ReadCompleteConfigFile(const std::filesystem::path& path, const MODEL_DEFINITION& model, CONFIG_RECORD& record,
                           CONFIG_NONLINEAR& nonLinear, IMessageBox& messages, const CLanguageFile& language,
                           int languageNumber);

// Clear Screen's use of the default file: only the lines whose key holds
// SENSORHEIGHT or FILLHEIGHT, taken as ReadConfigFile takes them (snapped).
// False, and nothing changes, when the file cannot be read.
bool ReadHeightsFromFile(const std::filesystem::path& path, const MODEL_DEFINITION& model, CONFIG_RECORD& record);

// The tank shape a configuration file switches on (NONLINEAR = TRUE with an
// NLTYPE), read by the reader's rules; none when the file names none or
// cannot be read. A file whose levels are in volume units names one of that
// shape's volume units, which must be known before the file is read.
std::optional<std::int32_t> FileTankShape(const std::filesystem::path& path);

// The number for the next file of the proposed name: 0 when no file
// "<base>[<anything>].<extension>" is in the proposed file's folder, else one
// more than the largest number found in such names (at least 1). Names whose
// bracket holds no number are skipped.
int NextFileNumber(const std::filesystem::path& proposed);

// Save steps 2 and 3: the name the save dialog proposes for the file name box
// text: trimmed of spaces, "Config.txt" when empty, ".txt" appended when it
// does not end so, then "<name up to its first [ or .>[n].txt" with n from
// NextFileNumber in `configsFolder`. Empty when the name is not a safe leaf
// name (a separator, "..", a control character): such a name is refused.
std::string ProposedSaveName(const std::string& boxText, const std::filesystem::path& configsFolder);

// The name dialog's OK rule: ".txt" appended unless the name contains ".txt".
std::string WithTxtExtension(const std::string& name);

// `folder` / `name` for a name that came from outside (the file name box, the
// name dialog); none when the name is not a safe leaf name.
std::optional<std::filesystem::path> ConfigFilePath(const std::filesystem::path& folder, const std::string& name);

// The file date text shown after a load or save: STATUS_MESSAGE39 with month,
// day, year, hour and minute of the last write in local time; the text of
// ERROR_MESSAGE76 when the time cannot be read; empty when there is no file.
std::string FileDateText(const std::filesystem::path& path, const CLanguageFile& language, int languageNumber);

// One field in which two configurations differ, in display units.
struct CONFIG_DIFFERENCE {
  std::string field, fileValue, unitValue;
};

// The fields in which `file` and `unit` differ, in form order: selections (by
// option text), units, sensor and fill height, the levels either matched
// configuration uses, advanced entries, notes, non-linear state, structure
// type and dimensions. Values are compared as the unit would keep them:
// heights, levels and dimensions with one decimal, advanced values as whole
// numbers (an on/off entry by its state only), notes as the 64 bytes of the
// page hold them. The structure type is compared when both are non-linear,
// the dimensions when either is (a file carries them only then). Both
// records are taken to be in the same units.
std::vector<CONFIG_DIFFERENCE> DiffConfigurations(const MODEL_DEFINITION& model, const CONFIG_RECORD& file,
                                                  const CONFIG_NONLINEAR& fileNonLinear, const CONFIG_RECORD& unit,
                                                  const CONFIG_NONLINEAR& unitNonLinear);

}  // namespace tolvane::config
