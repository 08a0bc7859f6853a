// qev-manual TEMPLATE OUT: writes the manual page, the template with its
// generated parts filled in from the command-line table, so that the page's
// synopsis and option lists are the ones the parser takes. Lines of the
// template that hold only @SYNOPSIS@ or @COMMANDS@ are replaced; @VERSION@
// anywhere becomes the version ("qev 1.2.3").
#include <stdio.h>

#include <fstream>
#include <sstream>
#include <string>

#include "cli/command_line.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    fputs("usage: qev-manual TEMPLATE OUT\n", stderr);
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    fprintf(stderr, "qev-manual: cannot read %s\n", argv[1]);
    return 1;
  }
  std::ostringstream page;
  std::string line;
  while (std::getline(in, line)) {
    if (line == "@SYNOPSIS@") {
      page << manual_synopsis();
      continue;
    }
    if (line == "@COMMANDS@") {
      page << manual_commands();
      continue;
    }
    for (size_t at; (at = line.find("@VERSION@")) != std::string::npos;)
      line.replace(at, 9, version_text());
    page << line << "\n";
  }
  std::ofstream out(argv[2], std::ios::binary);
  out << page.str();
  if (!out.flush()) {
    fprintf(stderr, "qev-manual: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
