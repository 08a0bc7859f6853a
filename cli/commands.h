#pragma once
// The commands of qev. Each takes the arguments after its name and returns the
// process exit status.
constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILED = 1;  // a member failed, the archive is damaged, bad input
constexpr int EXIT_USAGE = 2;   // the command line is wrong

int cmd_pack(int argc, char** argv);
int cmd_list(int argc, char** argv);
int cmd_test(int argc, char** argv);
int cmd_extract(int argc, char** argv);
