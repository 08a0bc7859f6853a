// The command-line parser against the forms users type, and the help made from
// the same table: every option the help shows is one the parser takes.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"

namespace {

Invocation parse(std::vector<std::string> args, Environment environment = {}) {
  args.insert(args.begin(), "qev");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  return parse_command_line((int)argv.size(), argv.data(), environment);
}

TEST(CommandLine, ValuesOperandsAndFlagsInEveryForm) {
  Invocation a = parse({"pack", "--level=9", "src", "-o", "-", "--filter", "none", "-q"});
  ASSERT_EQ(a.action, Invocation::RUN) << a.problem;
  EXPECT_STREQ(command_name(a.command), "pack");
  EXPECT_EQ(a.pack.source, "src");
  EXPECT_EQ(a.pack.output, "-") << "a value may look like an option";
  EXPECT_EQ(a.pack.writer.encoder.level, 9);
  EXPECT_EQ(a.pack.writer.filter, qev::FilterMode::None);
  EXPECT_EQ(a.pack.common.verbosity, Verbosity::Quiet);

  Invocation b = parse({"extract", "-Cout", "--skip-existing", "--skip-existing", "--", "-a.qev"},
                       {false, true});
  ASSERT_EQ(b.action, Invocation::RUN) << b.problem;
  EXPECT_EQ(b.archive.folder, "out");
  EXPECT_EQ(b.archive.overwrite, SKIP_EXISTING);
  EXPECT_EQ(b.archive.archive, "-a.qev") << "after --, everything is an operand";
  EXPECT_TRUE(b.archive.common.progress);

  Invocation c = parse({"list", "-v", "a.qev"}, {true, true});
  EXPECT_EQ(c.archive.common.verbosity, Verbosity::Verbose);
  EXPECT_TRUE(parse({"test", "a.qev"}).archive.common.progress == false) << "no terminal";
  EXPECT_FALSE(parse({"test", "-q", "a.qev"}, {true, true}).archive.common.progress);
}

TEST(CommandLine, WrongLinesSayWhatIsWrong) {
  struct Case {
    std::vector<std::string> args;
    const char* problem;
  };
  const Case cases[] = {
      {{}, "no command given"},
      {{"unpack", "a"}, "unknown command 'unpack'"},
      {{"pack", "src"}, "no output file (-o OUT)"},
      {{"pack", "-o", "x"}, "no source folder"},
      {{"pack", "src", "-o"}, "-o needs OUT"},
      {{"pack", "src", "-o", "x", "--level", "12"}, "--level takes 0 to 9"},
      {{"pack", "src", "other", "-o", "x"}, "only one source folder"},
      {{"pack", "src", "-o", "x", "-qv"}, "choose one of --quiet, --verbose"},
      {{"list", "a", "--bogus=1"}, "unknown option '--bogus'"},
      {{"list", "a", "-C", "x"}, "unknown option '-C'"},
      {{"extract", "a", "--ask=yes"}, "--ask takes no value"},
      {{"extract", "a", "--ask", "--overwrite"}, "choose one of --overwrite, --skip-existing, --ask"},
      {{"extract", "a", "--ask"}, "--ask needs a terminal on standard input"},
      {{"help", "bogus"}, "unknown command 'bogus'"},
  };
  for (const Case& c : cases) {
    Invocation inv = parse(c.args);
    EXPECT_EQ(inv.action, Invocation::USAGE_ERROR) << c.problem;
    EXPECT_EQ(inv.problem, c.problem);
  }
  EXPECT_EQ(parse({"pack", "s", "-o", "x", "--timezone", "Mars/Base"}).problem,
            "--timezone: unknown time zone 'Mars/Base'");
  EXPECT_EQ(parse({"pack", "s", "-o", "x", "--timezone", "../../etc/passwd"}).problem,
            "--timezone: unknown time zone '../../etc/passwd'");
  for (const char* epoch : {"", "12x", "-5", "1e9", " 7"}) {
    Environment environment;
    environment.source_date_epoch = epoch;
    EXPECT_EQ(parse({"pack", "s", "-o", "x"}, environment).problem,
              "SOURCE_DATE_EPOCH is '" + std::string(epoch) + "', not a number of seconds since 1970");
  }
  Environment environment;
  environment.source_date_epoch = "1700000000";
  Invocation inv = parse({"pack", "s", "-o", "x", "--timezone", "EST5EDT"}, environment);
  EXPECT_EQ(inv.pack.newest_time, 1700000000);
  EXPECT_EQ(inv.pack.timezone, "EST5EDT");
  EXPECT_EQ(parse({"extract", "a", "--ask"}, {true, false}).action, Invocation::RUN);
}

TEST(CommandLine, HelpShowsOnlyOptionsTheParserTakes) {
  EXPECT_EQ(parse({"--version"}).action, Invocation::VERSION);
  EXPECT_EQ(parse({"help"}).action, Invocation::HELP);
  for (const char* name : {"pack", "list", "test", "extract"}) {
    Invocation asked = parse({name, "--bogus-after-help-is-not-read", "--help"});
    EXPECT_EQ(asked.action, Invocation::USAGE_ERROR) << "arguments are read in order";
    asked = parse({name, "-h", "--bogus"});
    ASSERT_EQ(asked.action, Invocation::HELP) << name;
    EXPECT_STREQ(command_name(asked.command), name);
    EXPECT_NE(help_text(nullptr).find(std::string("\n       qev ") + name + " "), std::string::npos);

    // Each option line of the help ("  -o, --output OUT   text"), given with
    // a value where it names one, is accepted by the parser in both spellings.
    const std::regex option_line("^  (-[a-zA-Z])?(?:, )?(?: *(--[a-z-]+))?(?: ([A-Z]+))?  +\\S.*");
    std::istringstream lines(help_text(asked.command));
    std::string line;
    int options = 0;
    while (std::getline(lines, line)) {
      EXPECT_LE(line.size(), 80u) << line;
      std::smatch m;
      if (!std::regex_match(line, m, option_line) || m[2] == "--help") continue;
      const std::string value = m[3] == "N" ? "1" : m[3] == "MODE" ? "16" : m[3] == "ZONE" ? "UTC" : "x";
      for (int spelling : {1, 2}) {
        if (!m[spelling].matched) continue;
        std::vector<std::string> args = {name, "operand", m[spelling].str()};
        if (m[3].matched) args.push_back(value);
        if (std::string(name) == "pack") args.insert(args.end(), {"-o", "x"});
        Invocation inv = parse(args, {true, true});
        EXPECT_EQ(inv.action, Invocation::RUN) << line << ": " << inv.problem;
        options++;
      }
    }
    EXPECT_GE(options, 4) << name;  // at least -q, --quiet, -v, --verbose
  }
}

}  // namespace
