#pragma once
// A publisher's product settings: what `qev pack` takes as options (--name,
// --program, --version, --publisher, --folder, --icon, --silent-switches) or
// from a product file (--product FILE: one `key = value` a line, the same
// keys without the dashes; blank lines and lines starting with # are skipped;
// silent-switches takes yes or no; an icon path is relative to the file's
// folder). An option given on the command line wins over the file.
//
// Every text is checked before anything is written (check_product_options):
// not empty, in Windows-1252, no control characters, and within its limit.
// The name must be usable as a folder and a registry key name (none of
// \ / : * ? " < > |, no device name, no dot or space at its end); the folder
// must be absolute (a drive, a colon, a backslash, then folders of the same
// kind; / counts as \); the program is a file of the source folder, given
// relative to it.
#include <stdint.h>

#include <optional>
#include <string>
#include <vector>

#include "encode/archive_writer.h"

namespace qev {

// Limits, in characters (Windows-1252 bytes).
constexpr size_t PRODUCT_NAME_MAX = 64;
constexpr size_t PRODUCT_VERSION_MAX = 32;
constexpr size_t PRODUCT_PUBLISHER_MAX = 100;
constexpr size_t PRODUCT_FOLDER_MAX = 200;
constexpr size_t PRODUCT_PROGRAM_MAX = 100;
// The folder and the program's path together, so that the quoted uninstall
// command ("<folder>\<program>" /uninstall) stays within 259 characters.
constexpr size_t PRODUCT_FOLDER_AND_PROGRAM_MAX = 259 - (2 + 1 + 11);

// As given, in UTF-8; unset when not given.
struct ProductOptions {
  std::optional<std::string> name, program, version, publisher, folder, icon;
  bool silent_switches = false;
  std::optional<std::string> product_file;
};

// The settings, checked and in Windows-1252 (program and folder with
// backslashes). `given` is false when no product setting was given at all:
// the installer then stays Lumetra's, exactly as the stub carries it.
struct ProductSettings {
  bool given = false;
  bool named = false;  // --name given
  std::string name = "Lumetra";
  std::string program = "lumetra.exe";  // "": none
  std::string program_origin;           // "": not given (not checked)
  std::string version, publisher;       // "": not given
  std::string folder;                   // "": the default, C:\NAME
  std::string icon_path;                // "": the stub's icon
  bool silent_switches = false;
};

// Reads the product file into `options` where the command line left a key
// unset, then checks everything. "" or the message (naming the option, or
// the file and line).
std::string check_product_options(const ProductOptions& options, ProductSettings& out);
// Checks that a program given is a file among the packed entries and takes
// the archive's spelling of its name. "" or the message. (Lumetra's own
// lumetra.exe is not checked: without settings the installer stays as it is.)
std::string check_product_program(ProductSettings& settings, const std::vector<PackEntry>& entries);

}  // namespace qev
