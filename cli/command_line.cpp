#include "cli/command_line.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include <sstream>
#include <vector>

#include "cli/commands.h"
#include "encode/time_zone.h"

#ifndef QEV_VERSION
#define QEV_VERSION "0"
#endif

namespace {

// Options of one nonzero group exclude each other.
enum OptionGroup { NO_GROUP, TALK_GROUP, OVERWRITE_GROUP };

struct OptionDef {
  char short_name;         // 'o' for -o; 0 when there is none
  const char* long_name;   // "output" for --output; null when there is none
  const char* value_name;  // what the value is called in the help ("OUT"); null for a flag
  const char* help;        // one line, for the help and the manual page
  OptionGroup group;
  // Stores the option in the invocation; "" or what is wrong with the value.
  std::string (*apply)(Invocation& into, const char* value);
};

}  // namespace

struct CommandDef {
  const char* name;
  const char* operands;     // as the synopsis shows them: "SRC_DIR -o OUT"
  const char* summary;      // one line in `qev help`
  const char* description;  // lines for `qev COMMAND --help` and the manual page
  std::vector<OptionDef> options;
  CommonOptions& (*common)(Invocation& into);  // the family's common options
  std::string (*operand)(Invocation& into, const char* argument);
  // After the last argument: what is missing or contradictory, or "".
  std::string (*finish)(Invocation& into, const Environment& environment);
  int (*run)(const Invocation& invocation);
};

namespace {

constexpr const char* TOOL_OPERANDS = "COMMAND [OPERAND | OPTION]...";

// -q, -v and -h, which every command takes. -h is handled by the parser.
const std::vector<OptionDef> COMMON_OPTIONS = {
    {'q', "quiet", nullptr, "only failures and warnings: no summary, no progress", TALK_GROUP,
     nullptr},
    {'v', "verbose", nullptr, "also each entry as it is handled and the choices made", TALK_GROUP,
     nullptr},
    {'h', "help", nullptr, "show this help and exit", NO_GROUP, nullptr},
};

std::string take_archive(Invocation& into, const char* argument) {
  if (!into.archive.archive.empty()) return "one archive at a time";
  into.archive.archive = argument;
  return "";
}

std::string need_archive(Invocation& into, const Environment&) {
  return into.archive.archive.empty() ? "no archive given" : "";
}

CommonOptions& archive_common(Invocation& into) { return into.archive.common; }

const std::vector<CommandDef> COMMANDS = {
    {"pack", "SRC_DIR -o OUT", "pack a folder into an archive or an installer",
     "Packs the files and folders inside SRC_DIR into the archive OUT, or into an\n"
     "installer when OUT ends in .exe or --installer or --stub is given (the\n"
     "installed stub is found without a path). Names are stored in Windows-1252,\n"
     "times as DOS local times. OUT is written under a temporary name beside it\n"
     "and replaced only when complete, so a failure leaves nothing behind.\n"
     "The product settings (--name to --product) make an installer of a product\n"
     "of your own: the title \"NAME Installation\", the folder C:\\Program Files\\NAME\n"
     "(C:\\NAME without Program Files) unless --folder names one, the uninstall entry\n"
     "NAME with the values of Apps & features. Without --program such an installer\n"
     "starts nothing and registers nothing. Texts are Windows-1252 characters\n"
     "without control characters; NAME also without \\ / : * ? \" < > |; the folder\n"
     "and the program's path together at most 245 characters. A product FILE holds\n"
     "the same keys without dashes (silent-switches = yes or no); an icon path in\n"
     "it is taken from the file's folder.",
     {
         {'o', "output", "OUT", "the archive or installer to write", NO_GROUP,
          [](Invocation& into, const char* v) -> std::string {
            into.pack.output = v;
            return "";
          }},
         {0, "installer", nullptr, "make an installer (so does an OUT ending in .exe)", NO_GROUP,
          [](Invocation& into, const char*) -> std::string {
            into.pack.installer = true;
            return "";
          }},
         {0, "stub", "FILE", "make an installer from the stub FILE", NO_GROUP,
          [](Invocation& into, const char* v) -> std::string {
            into.pack.stub = v;
            return "";
          }},
         {0, "name", "TEXT",
          "the product's name, at most 64 characters", NO_GROUP,
          [](Invocation& into, const char* v) -> std::string {
            into.pack.product.name = v;
            return "";
          }},
         {0, "program", "PATH",
          "the file started at the end, at most 100 characters", NO_GROUP,
          [](Invocation& into, const char* v) -> std::string {
            into.pack.product.program = v;
            return "";
          }},
         {0, "version", "TEXT", "the version, at most 32 characters", NO_GROUP,
          [](Invocation& into, const char* v) -> std::string {
            into.pack.product.version = v;
            return "";
          }},
         {0, "publisher", "TEXT", "the publisher, at most 100 characters", NO_GROUP,
          [](Invocation& into, const char* v) -> std::string {
            into.pack.product.publisher = v;
            return "";
          }},
         {0, "folder", "PATH",
          "the folder offered (C:\\...), at most 200 characters", NO_GROUP,
          [](Invocation& into, const char* v) -> std::string {
            into.pack.product.folder = v;
            return "";
          }},
         {0, "icon", "FILE", "the installer's icon, every image of the .ico FILE", NO_GROUP,
          [](Invocation& into, const char* v) -> std::string {
            into.pack.product.icon = v;
            return "";
          }},
         {0, "silent-switches", nullptr,
          "the installer obeys /S and /D=PATH", NO_GROUP,
          [](Invocation& into, const char*) -> std::string {
            into.pack.product.silent_switches = true;
            return "";
          }},
         {0, "product", "FILE",
          "the product settings from FILE, key = value lines", NO_GROUP,
          [](Invocation& into, const char* v) -> std::string {
            into.pack.product.product_file = v;
            return "";
          }},
         {0, "exclude", "PATTERN",
          "leave out matching names, or paths with a /", NO_GROUP,
          [](Invocation& into, const char* v) -> std::string {
            into.pack.excludes.push_back(v);
            return "";
          }},
         {0, "timezone", "ZONE",
          "the zone of the times (UTC under SOURCE_DATE_EPOCH)", NO_GROUP,
          [](Invocation& into, const char* v) -> std::string {
            std::string problem = qev::check_time_zone(v);
            if (!problem.empty()) return "--timezone: " + problem;
            into.pack.timezone = v;
            return "";
          }},
         {0, "level", "N", "0 stores, 1 packs fastest, 9 smallest (default 6)", NO_GROUP,
          [](Invocation& into, const char* v) -> std::string {
            if (strlen(v) != 1 || v[0] < '0' || v[0] > '9') return "--level takes 0 to 9";
            into.pack.writer.encoder.level = v[0] - '0';
            return "";
          }},
         {0, "filter", "MODE",
          "x86 call filter: auto (PE and ELF), none, 16 or 32", NO_GROUP,
          [](Invocation& into, const char* v) -> std::string {
            std::string f = v;
            if (f == "auto") into.pack.writer.filter = qev::FilterMode::Auto;
            else if (f == "none") into.pack.writer.filter = qev::FilterMode::None;
            else if (f == "16") into.pack.writer.filter = qev::FilterMode::E8_16;
            else if (f == "32") into.pack.writer.filter = qev::FilterMode::E8_32;
            else return "--filter takes auto, none, 16 or 32";
            return "";
          }},
         {0, "threads", "N", "compress on N threads (default: one per core)",
          NO_GROUP,
          [](Invocation& into, const char* v) -> std::string {
            char* end = nullptr;
            long n = strtol(v, &end, 10);
            if (!*v || *end || n < 1 || n > 256) return "--threads takes 1 to 256";
            into.pack.writer.threads = (unsigned)n;
            return "";
          }},
     },
     [](Invocation& into) -> CommonOptions& { return into.pack.common; },
     [](Invocation& into, const char* argument) -> std::string {
       if (!into.pack.source.empty()) return "only one source folder";
       into.pack.source = argument;
       return "";
     },
     [](Invocation& into, const Environment& environment) -> std::string {
       if (into.pack.source.empty()) return "no source folder";
       if (into.pack.output.empty()) return "no output file (-o OUT)";
       if (const char* epoch = environment.source_date_epoch) {
         // Whole seconds since 1970, as the convention has them; anything
         // else is refused rather than half understood.
         char* end = nullptr;
         errno = 0;
         long long seconds = strtoll(epoch, &end, 10);
         if (!*epoch || *end || errno || seconds < 0 || epoch[0] == '+' || epoch[0] == ' ')
           return "SOURCE_DATE_EPOCH is '" + std::string(epoch) + "', not a number of seconds since 1970";
         into.pack.newest_time = seconds;
       }
       return "";
     },
     [](const Invocation& invocation) { return run_pack(invocation.pack); }},

    {"list", "ARCHIVE", "list the entries of an archive or installer",
     "Lists every entry of ARCHIVE (a bare archive or an installer), one per line:\n"
     "kind, size, attributes (R read-only, H hidden, S system, A archive), the\n"
     "modification time (\"-\" when the archive leaves it to the system) and the\n"
     "name. With -v also each file's CRC-32 and call filter.",
     {}, archive_common, take_archive, need_archive,
     [](const Invocation& invocation) { return run_list(invocation.archive); }},

    {"test", "ARCHIVE", "decode every file and check it, writing nothing",
     "Decodes every file of ARCHIVE as the installer does and checks its CRC-32,\n"
     "writing nothing. Goes on after a failure to report every one.",
     {}, archive_common, take_archive, need_archive,
     [](const Invocation& invocation) { return run_test(invocation.archive); }},

    {"extract", "ARCHIVE", "extract the tree into a folder",
     "Extracts ARCHIVE into a folder with the installer's own code: the same\n"
     "names, checks and messages. It never starts a program and never touches a\n"
     "registry. Ctrl-C stops it and deletes the file being written.",
     {
         {'C', "directory", "DIR", "extract into DIR (default: the current folder)", NO_GROUP,
          [](Invocation& into, const char* v) -> std::string {
            into.archive.folder = v;
            return "";
          }},
         {0, "overwrite", nullptr, "replace existing files (the default)", OVERWRITE_GROUP,
          [](Invocation& into, const char*) -> std::string {
            into.archive.overwrite = OVERWRITE_ALL;
            return "";
          }},
         {0, "skip-existing", nullptr, "keep existing files", OVERWRITE_GROUP,
          [](Invocation& into, const char*) -> std::string {
            into.archive.overwrite = SKIP_EXISTING;
            return "";
          }},
         {0, "ask", nullptr, "ask on the terminal before replacing a file", OVERWRITE_GROUP,
          [](Invocation& into, const char*) -> std::string {
            into.archive.overwrite = ASK_EACH;
            return "";
          }},
     },
     archive_common, take_archive,
     [](Invocation& into, const Environment& environment) -> std::string {
       std::string missing = need_archive(into, environment);
       if (!missing.empty()) return missing;
       if (into.archive.overwrite == ASK_EACH && !environment.input_terminal)
         return "--ask needs a terminal on standard input";
       return "";
     },
     [](const Invocation& invocation) { return run_extract(invocation.archive); }},
};

const CommandDef* find_command(const char* name) {
  for (const CommandDef& c : COMMANDS) {
    if (strcmp(c.name, name) == 0) return &c;
  }
  return nullptr;
}

// "-o, --output", "--stub", "-q, --quiet": how the help names an option.
std::string option_names(const OptionDef& o) {
  std::string s;
  if (o.short_name) s = std::string("-") + o.short_name;
  if (o.long_name) s += (s.empty() ? "--" : ", --") + std::string(o.long_name);
  return s;
}

// The first name the user would type, for messages: "-o" or "--stub".
std::string option_label(const OptionDef& o) {
  return o.long_name ? "--" + std::string(o.long_name) : std::string("-") + o.short_name;
}

std::string group_members(const CommandDef& command, OptionGroup group) {
  std::string names;
  for (const std::vector<OptionDef>* table : {&command.options, &COMMON_OPTIONS}) {
    for (const OptionDef& o : *table) {
      if (o.group != group) continue;
      names += (names.empty() ? "" : ", ") + option_label(o);
    }
  }
  return names;
}

const OptionDef* find_long(const CommandDef& command, const std::string& name) {
  for (const std::vector<OptionDef>* table : {&command.options, &COMMON_OPTIONS}) {
    for (const OptionDef& o : *table) {
      if (o.long_name && name == o.long_name) return &o;
    }
  }
  return nullptr;
}

const OptionDef* find_short(const CommandDef& command, char name) {
  for (const std::vector<OptionDef>* table : {&command.options, &COMMON_OPTIONS}) {
    for (const OptionDef& o : *table) {
      if (o.short_name == name) return &o;
    }
  }
  return nullptr;
}

Invocation usage_error(Invocation inv, const std::string& problem) {
  inv.action = Invocation::USAGE_ERROR;
  inv.problem = problem;
  return inv;
}

std::string option_line(const OptionDef& o) {
  std::string left = "  " + std::string(o.short_name ? "" : "    ") + option_names(o);
  if (o.value_name) left += std::string(" ") + o.value_name;
  constexpr size_t COLUMN = 26;
  if (left.size() + 2 > COLUMN) return left + "\n" + std::string(COLUMN, ' ') + o.help + "\n";
  return left + std::string(COLUMN - left.size(), ' ') + o.help + "\n";
}

std::string synopsis(const CommandDef& c) {
  return std::string("qev ") + c.name + " " + c.operands + " [OPTION]...";
}

// Text for roff: backslashes and hyphens escaped, no line starting with a dot.
std::string roff(const std::string& text) {
  std::string out;
  bool line_start = true;
  for (char c : text) {
    if (line_start && (c == '.' || c == '\'')) out += "\\&";
    if (c == '\\') out += "\\e";
    else if (c == '-') out += "\\-";
    else out += c;
    line_start = c == '\n';
  }
  return out;
}

std::string roff_option(const OptionDef& o) {
  std::string s = ".TP\n";
  if (o.short_name) s += std::string("\\fB\\-") + o.short_name + "\\fR";
  if (o.short_name && o.long_name) s += ", ";
  if (o.long_name) s += "\\fB" + roff(std::string("--") + o.long_name) + "\\fR";
  if (o.value_name) s += std::string(" \\fI") + o.value_name + "\\fR";
  return s + "\n" + roff(o.help) + "\n";
}

}  // namespace

Invocation parse_command_line(int argc, const char* const* argv, const Environment& environment) {
  Invocation inv;
  if (argc < 2) return usage_error(inv, "no command given");
  std::string first = argv[1];
  if (first == "--version") {
    inv.action = Invocation::VERSION;
    return inv;
  }
  if (first == "-h" || first == "--help" || first == "help") {
    inv.action = Invocation::HELP;
    if (first == "help" && argc > 2) {
      inv.command = find_command(argv[2]);
      if (!inv.command) return usage_error(inv, "unknown command '" + std::string(argv[2]) + "'");
      if (argc > 3) return usage_error(inv, "help takes one command");
    }
    return inv;
  }
  inv.command = find_command(argv[1]);
  if (!inv.command) return usage_error(inv, "unknown command '" + first + "'");
  const CommandDef& command = *inv.command;

  const OptionDef* chosen[3] = {nullptr, nullptr, nullptr};  // by group
  bool help = false;
  // Stores one option; `typed` is how the user wrote its name.
  auto take = [&](const OptionDef& o, const std::string& typed, const char* value) -> std::string {
    if (o.group != NO_GROUP) {
      const OptionDef*& earlier = chosen[o.group];
      if (earlier && earlier != &o) return "choose one of " + group_members(command, o.group);
      earlier = &o;
    }
    if (o.value_name && !*value) return typed + " needs " + o.value_name;
    if (!o.apply) {
      help = help || strcmp(o.long_name, "help") == 0;
      return "";
    }
    return o.apply(inv, value);
  };

  bool options_end = false;
  for (int i = 2; i < argc && !help; i++) {
    std::string argument = argv[i];
    std::string problem;
    if (options_end || argument.size() < 2 || argument[0] != '-') {
      problem = command.operand(inv, argv[i]);
    } else if (argument == "--") {
      options_end = true;
    } else if (argument[1] == '-') {
      // --name, --name=value, --name value
      size_t eq = argument.find('=');
      std::string typed = argument.substr(0, eq);
      const OptionDef* o = find_long(command, typed.substr(2));
      if (!o) return usage_error(inv, "unknown option '" + typed + "'");
      std::string value;
      if (eq != std::string::npos) {
        if (!o->value_name) return usage_error(inv, typed + " takes no value");
        value = argument.substr(eq + 1);
      } else if (o->value_name) {
        if (i + 1 == argc) return usage_error(inv, typed + " needs " + o->value_name);
        value = argv[++i];
      }
      problem = take(*o, typed, value.c_str());
    } else {
      // -q, -qv (flags together), -C DIR, -CDIR
      for (size_t k = 1; k < argument.size() && problem.empty(); k++) {
        std::string typed = std::string("-") + argument[k];
        const OptionDef* o = find_short(command, argument[k]);
        if (!o) return usage_error(inv, "unknown option '" + typed + "'");
        if (!o->value_name) {
          problem = take(*o, typed, "");
          continue;
        }
        std::string value = argument.substr(k + 1);
        if (value.empty()) {
          if (i + 1 == argc) return usage_error(inv, typed + " needs " + o->value_name);
          value = argv[++i];
        }
        problem = take(*o, typed, value.c_str());
        break;
      }
    }
    if (!problem.empty()) return usage_error(inv, problem);
  }
  if (help) {
    inv.action = Invocation::HELP;
    return inv;
  }
  CommonOptions& common = command.common(inv);
  if (chosen[TALK_GROUP]) {
    common.verbosity = chosen[TALK_GROUP]->short_name == 'q' ? Verbosity::Quiet : Verbosity::Verbose;
  }
  common.progress = environment.error_terminal && common.verbosity != Verbosity::Quiet;
  std::string problem = command.finish(inv, environment);
  if (!problem.empty()) return usage_error(inv, problem);
  return inv;
}

int run_invocation(const Invocation& inv) {
  switch (inv.action) {
    case Invocation::RUN:
      return inv.command->run(inv);
    case Invocation::HELP:
      fputs(help_text(inv.command).c_str(), stdout);
      return EXIT_OK;
    case Invocation::VERSION:
      printf("%s\n", version_text());
      return EXIT_OK;
    case Invocation::USAGE_ERROR:
      break;
  }
  fprintf(stderr, "qev%s%s: %s\n%s", inv.command ? " " : "", inv.command ? inv.command->name : "",
          inv.problem.c_str(), usage_text(inv.command).c_str());
  return EXIT_USAGE;
}

const char* command_name(const CommandDef* command) { return command ? command->name : nullptr; }

std::string usage_text(const CommandDef* command) {
  if (command) {
    return "usage: " + synopsis(*command) + "\nTry 'qev " + command->name +
           " --help' for more information.\n";
  }
  std::string s;
  for (const CommandDef& c : COMMANDS) s += (s.empty() ? "usage: " : "       ") + synopsis(c) + "\n";
  return s + "Try 'qev help' for more information.\n";
}

std::string help_text(const CommandDef* command) {
  std::string s;
  if (command) {
    s = "usage: " + synopsis(*command) + "\n\n" + command->description + "\n\nOptions:\n";
    for (const OptionDef& o : command->options) s += option_line(o);
    for (const OptionDef& o : COMMON_OPTIONS) s += option_line(o);
    return s;
  }
  s = std::string("usage: qev ") + TOOL_OPERANDS + "\n";
  for (const CommandDef& c : COMMANDS) s += "       " + synopsis(c) + "\n";
  s += "       qev help [COMMAND]\n       qev --version\n\n"
       "Builds QEV archives and self-extracting installers, and lists, tests and\n"
       "extracts them.\n\nCommands:\n";
  for (const CommandDef& c : COMMANDS) {
    std::string name = std::string("  ") + c.name;
    s += name + std::string(12 - name.size(), ' ') + c.summary + "\n";
  }
  s += "\nOptions of every command:\n";
  for (const OptionDef& o : COMMON_OPTIONS) s += option_line(o);
  s += "\n'qev COMMAND --help' shows a command's options.\n"
       "Exit status: 0 success, 1 failure, 2 wrong command line.\n";
  return s;
}

namespace {

// A synopsis line in roff: the words to type in bold, the ones to replace
// (in capitals) in italics.
std::string roff_synopsis(const std::string& line) {
  std::string s, word;
  std::istringstream words(line);
  while (words >> word) {
    size_t end = word.find_first_of("]");
    std::string core = word.substr(0, end), rest = end == std::string::npos ? "" : word.substr(end);
    size_t begin = core.find_first_not_of("[");
    std::string open = core.substr(0, begin);
    core = core.substr(begin);
    bool replaced = core.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ_") == std::string::npos;
    s += (s.empty() ? "" : " ") + open + (replaced ? "\\fI" : "\\fB") + roff(core) + "\\fR" + rest;
  }
  return s + "\n";
}

}  // namespace

std::string manual_synopsis() {
  std::string s;
  for (const CommandDef& c : COMMANDS) s += roff_synopsis(synopsis(c));
  return s + roff_synopsis("qev help [COMMAND]") + roff_synopsis("qev --version");
}

std::string manual_commands() {
  std::string s;
  for (const CommandDef& c : COMMANDS) {
    s += std::string(".SS \"qev ") + c.name + " " + roff(c.operands) + "\"\n" + roff(c.description) +
         "\n";
    for (const OptionDef& o : c.options) s += roff_option(o);
  }
  s += ".SS \"Options of every command\"\n";
  for (const OptionDef& o : COMMON_OPTIONS) s += roff_option(o);
  return s;
}

const char* version_text() { return "qev " QEV_VERSION; }
