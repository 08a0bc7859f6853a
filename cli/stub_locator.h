#pragma once
// Where `qev pack` finds the installer stub when no --stub names one.
//
// First the installed stub: QEV_STUB_FROM_BINDIR (../share/qev/qevstub.exe)
// from the folder that holds the running qev, so that an installed tree
// works wherever its prefix lies (/usr, /usr/local, a scratch root). Then,
// only when qev runs from the build tree it was built in, the stub that build
// was configured with (the Windows tree beside it), so that a developer needs
// no path either; an installed qev never looks there.
#include <string>
#include <vector>

// The stub's path, or "" when there is none; `looked` gets every place tried.
std::string find_stub(std::vector<std::string>* looked);
