// lumetra.exe, the sample product that the demo installer carries.
//
// Started without arguments (the installer starts it from the destination
// folder when an extraction has finished) it shows that it ran by writing
// lumetra-started.txt next to itself, with its own path and command line,
// and ends at once: it opens no window, so it never holds up the installer,
// a test or the demo.
//
// Started with /uninstall (the command the installer registers as
// UninstallString) it removes what the installer put in its folder: the
// product's files (the list below is generated from product/payload when the
// program is built), the marker file, the folders that are empty afterwards,
// the program itself and its folder when nothing else is left, and the
// uninstall key. Files it does not know are left alone, and so are the
// folders that hold them.
#include <windows.h>

#include "installed_files.h"  // kInstalledFiles[], kInstalledFolders[]

namespace {

const char kMarker[] = "lumetra-started.txt";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lumetra";

// The program's folder with a trailing backslash, in `folder`; its length.
int own_folder(char* folder, int capacity, char* self, int self_capacity) {
  DWORD n = GetModuleFileNameA(nullptr, self, self_capacity);
  if (n == 0 || n >= (DWORD)self_capacity) return 0;
  int cut = 0;
  for (int i = 0; self[i]; i++)
    if (self[i] == '\\') cut = i + 1;
  if (cut == 0 || cut >= capacity) return 0;
  for (int i = 0; i < cut; i++) folder[i] = self[i];
  folder[cut] = 0;
  return cut;
}

// folder + name into out; false when it does not fit.
bool join(char* out, int capacity, const char* folder, const char* name) {
  int n = 0;
  for (const char* p = folder; *p; p++) {
    if (n + 1 >= capacity) return false;
    out[n++] = *p;
  }
  for (const char* p = name; *p; p++) {
    if (n + 1 >= capacity) return false;
    out[n++] = *p;
  }
  out[n] = 0;
  return true;
}

void write_marker(const char* folder, const char* self) {
  char path[MAX_PATH * 2];
  if (!join(path, sizeof path, folder, kMarker)) return;
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const char* parts[] = {"Lumetra started\r\nprogram: ", self, "\r\ncommand line: ",
                         GetCommandLineA(), "\r\n"};
  for (const char* part : parts) {
    DWORD written;
    WriteFile(file, part, lstrlenA(part), &written, nullptr);
  }
  CloseHandle(file);
}

void remove_file(const char* path) {
  // The installer restores read-only bits; a read-only file cannot be deleted.
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(path);
}

void uninstall(const char* folder, const char* self) {
  char path[MAX_PATH * 2];
  for (const char* name : kInstalledFiles)
    if (join(path, sizeof path, folder, name)) remove_file(path);
  if (join(path, sizeof path, folder, kMarker)) remove_file(path);
  // Deepest folders first; a folder that still holds something stays.
  for (const char* name : kInstalledFolders)
    if (join(path, sizeof path, folder, name)) RemoveDirectoryA(path);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);

  // A running program cannot always delete its own file: then it goes, with
  // its folder, when Windows next starts.
  SetFileAttributesA(self, FILE_ATTRIBUTE_NORMAL);
  if (!DeleteFileA(self)) MoveFileExA(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  lstrcpyA(path, folder);
  path[lstrlenA(path) - 1] = 0;  // the folder without its trailing backslash
  if (!RemoveDirectoryA(path)) MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

// True when the command line holds the word /uninstall (any case) after the
// program's own, possibly quoted, path.
bool asks_uninstall(const char* command_line) {
  const char* p = command_line;
  if (*p == '"') {
    p++;
    while (*p && *p != '"') p++;
    if (*p) p++;
  } else {
    while (*p && *p != ' ' && *p != '\t') p++;
  }
  const char word[] = "/uninstall";
  for (; *p; p++) {
    int n = 0;
    while (word[n] && (p[n] | 0x20) == (word[n] | 0x20)) n++;
    if (!word[n] && (p[n] == 0 || p[n] == ' ' || p[n] == '\t')) return true;
  }
  return false;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char self[MAX_PATH * 2];
  char folder[MAX_PATH * 2];
  if (!own_folder(folder, sizeof folder, self, sizeof self)) return 1;
  if (asks_uninstall(GetCommandLineA())) {
    uninstall(folder, self);
  } else {
    write_marker(folder, self);
  }
  return 0;
}
