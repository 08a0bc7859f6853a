#pragma once
// The command line of qev: one table of commands and their options
// (command_line.cpp) from which the parser, `qev help`, `qev COMMAND --help`
// and the manual page's synopsis and option lists are all made, so that what
// the tool accepts and what it says it accepts cannot drift apart.
//
// Syntax, for every command: `qev COMMAND [OPERAND | OPTION]...`. Options may
// stand before, between or after the operands; `--` ends them. A long option
// takes its value as the next argument or after `=` (`--level=9`), a short one
// as the next argument or joined (`-Cout`). Giving two options of one group
// that say different things (`--overwrite --skip-existing`) is an error;
// repeating one is not.
#include <stdio.h>

#include <string>

#include "cli/commands.h"

struct CommandDef;

// What the command line is judged against besides its words.
struct Environment {
  bool input_terminal = false;  // standard input is a terminal (extract --ask asks there)
  bool error_terminal = false;  // standard error is a terminal (progress is shown there)
  // SOURCE_DATE_EPOCH, the reproducible-builds convention: the latest time a
  // pack writes, in seconds since 1970 (null when unset).
  const char* source_date_epoch = nullptr;
};

// What a command line asks for.
struct Invocation {
  enum Action {
    RUN,          // run `command` with its family's options
    HELP,         // show the help of `command`, or of the tool when null
    VERSION,      // show the version
    USAGE_ERROR   // `problem` says what is wrong; `command` when one was named
  };
  Action action = RUN;
  const CommandDef* command = nullptr;
  std::string problem;
  PackCommandOptions pack;        // filled for pack
  ArchiveCommandOptions archive;  // filled for list, test and extract
};

// argv as main receives it (argv[0] is the program).
Invocation parse_command_line(int argc, const char* const* argv, const Environment& environment);

// Carries out what the invocation asks: runs the command, or shows the help,
// the version or the usage error (exit status 2). Returns the exit status.
int run_invocation(const Invocation& invocation);

// "pack", ...; null for the tool itself.
const char* command_name(const CommandDef* command);

// The help that `qev help [COMMAND]` and `qev COMMAND --help` show.
std::string help_text(const CommandDef* command);
// The usage lines shown after a usage error.
std::string usage_text(const CommandDef* command);

// The manual page's generated parts, in roff: the synopsis (one line per
// command), and per command its description and options.
std::string manual_synopsis();
std::string manual_commands();

// The version, "qev 1.2.3".
const char* version_text();
