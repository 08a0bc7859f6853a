// winprobe: looks at the installer from outside, for the end-to-end tests. It
// runs under Wine beside the installer (same Wine server, same desktop) and
// reads what a user would see: which of the installer's windows is up, the
// texts and check state of its controls, where the controls are on the screen,
// and whether they sit where the dialog templates put them. It also reads the
// templates and the icon from the installer's resources, and a file's
// attributes and times as Windows reports them. It never clicks or types: the
// tests drive the installer with xdotool, as a user would.
//
//   probe wait KIND MS          wait until a window of KIND is up; print it
//   probe gone KIND MS          wait until no window of KIND is up
//   probe count KIND            how many windows of KIND are up
//   probe controls KIND         one line per control: id, class, checked, text
//   probe progress KIND         the progress bar's position, a tab, the status line
//   probe where KIND ID         screen position of the control's centre: "x y"
//   probe focus-point KIND      an empty spot of its client area: "x y"
//   probe close-box KIND        the centre of its close box: "x y"
//   probe geometry KIND         window and controls against the template
//   probe resources EXE         the dialog templates and the icon of EXE
//   probe manifest EXE          the manifest of EXE, its bytes unchanged
//   probe icons EXE DIR         the images of its icon group, each into DIR
//   probe version EXE           its version record
//   probe file PATH             attributes and local times of PATH
//   probe code-page -           the ANSI code page of a program without a manifest
//
// KIND is main (dialog 1), prompt (dialog 2) or message (a message box), all
// captioned "Lumetra Installation" (or QEV_PROBE_TITLE). Exit status 0 when the check holds or
// the window was found, 1 otherwise, 2 for a wrong command line.
#include <windows.h>
#include <commctrl.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "expected_dialogs.h"

namespace {

// The installer's title: Lumetra's, or the one in QEV_PROBE_TITLE (a
// publisher's product).
const char* title_wanted() {
  const char* title = getenv("QEV_PROBE_TITLE");
  return title && *title ? title : "Lumetra Installation";
}

enum Kind { KIND_MAIN, KIND_PROMPT, KIND_MESSAGE, KIND_NONE };

Kind parse_kind(const char* s) {
  if (!strcmp(s, "main")) return KIND_MAIN;
  if (!strcmp(s, "prompt")) return KIND_PROMPT;
  if (!strcmp(s, "message")) return KIND_MESSAGE;
  return KIND_NONE;
}

Kind kind_of(HWND window) {
  if (GetDlgItem(window, 101)) return KIND_MAIN;
  if (GetDlgItem(window, 109)) return KIND_PROMPT;
  return KIND_MESSAGE;
}

struct Search {
  Kind kind;
  HWND found;  // the first window found
  int count;   // all windows found
};

BOOL CALLBACK match_window(HWND window, LPARAM param) {
  Search* search = (Search*)param;
  char title[128];
  if (!IsWindowVisible(window)) return TRUE;
  if (GetWindowTextA(window, title, sizeof title) <= 0 || strcmp(title, title_wanted()) != 0)
    return TRUE;
  if (kind_of(window) != search->kind) return TRUE;
  if (!search->found) search->found = window;
  search->count++;
  return TRUE;
}

HWND find_window(Kind kind) {
  Search search = {kind, nullptr, 0};
  EnumWindows(match_window, (LPARAM)&search);
  return search.found;
}

int count_windows(Kind kind) {
  Search search = {kind, nullptr, 0};
  EnumWindows(match_window, (LPARAM)&search);
  return search.count;
}

std::string text_of(HWND window) {
  char text[1024];
  text[0] = 0;
  // WM_GETTEXT is marshalled across processes for every window class.
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_ABORTIFHUNG, 2000,
                      nullptr);
  return text;
}

std::vector<HWND> children_of(HWND parent) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    children.push_back(child);
  return children;
}

// Prints "\n" and the other control characters as escapes, so that one text
// stays on one line of output.
void print_escaped(const std::string& text) {
  for (char c : text) {
    if (c == '\n') fputs("\\n", stdout);
    else if (c == '\r') fputs("\\r", stdout);
    else if (c == '\t') fputs("\\t", stdout);
    else putchar(c);
  }
}

// The message box's text: the texts of its static controls, joined.
std::string message_text(HWND box) {
  std::string all;
  for (HWND child : children_of(box)) {
    char cls[64];
    GetClassNameA(child, cls, sizeof cls);
    if (_stricmp(cls, "Static") != 0) continue;
    std::string t = text_of(child);
    if (t.empty()) continue;
    if (!all.empty()) all += "\n";
    all += t;
  }
  return all;
}

HWND wait_for(Kind kind, DWORD ms) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND window = find_window(kind);
    if (window) return window;
    if (GetTickCount() - start >= ms) return nullptr;
    Sleep(100);
  }
}

int cmd_wait(Kind kind, DWORD ms) {
  HWND window = wait_for(kind, ms);
  if (!window) {
    printf("timeout\n");
    return 1;
  }
  // Give the dialog time to finish WM_INITDIALOG and paint.
  Sleep(300);
  RECT r;
  GetWindowRect(window, &r);
  printf("window %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
  if (kind == KIND_MESSAGE) {
    // What the box offers: its buttons, and whether it shows an icon.
    std::string buttons;
    bool icon = false;
    for (HWND child : children_of(window)) {
      char cls[64];
      GetClassNameA(child, cls, sizeof cls);
      LONG style = GetWindowLongA(child, GWL_STYLE);
      if (!_stricmp(cls, "Button") && (style & WS_VISIBLE)) {
        if (!buttons.empty()) buttons += ",";
        buttons += text_of(child);
      }
      if (!_stricmp(cls, "Static") && (style & SS_TYPEMASK) == SS_ICON && (style & WS_VISIBLE)) {
        // A box without an icon may keep an empty icon control.
        DWORD_PTR shown = 0;
        SendMessageTimeoutA(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &shown);
        if (shown) icon = true;
      }
    }
    printf("buttons %s\n", buttons.c_str());
    printf("icon %s\n", icon ? "yes" : "no");
    printf("text ");
    print_escaped(message_text(window));
    printf("\n");
  }
  return 0;
}

int cmd_gone(Kind kind, DWORD ms) {
  DWORD start = GetTickCount();
  while (find_window(kind)) {
    if (GetTickCount() - start >= ms) {
      printf("still there\n");
      return 1;
    }
    Sleep(100);
  }
  return 0;
}

HWND require(Kind kind) {
  HWND window = find_window(kind);
  if (!window) printf("no window\n");
  return window;
}

int cmd_controls(Kind kind) {
  HWND window = require(kind);
  if (!window) return 1;
  for (HWND child : children_of(window)) {
    char cls[64];
    GetClassNameA(child, cls, sizeof cls);
    int id = GetDlgCtrlID(child);
    DWORD_PTR checked = 0;
    if (!_stricmp(cls, "Button"))
      SendMessageTimeoutA(child, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &checked);
    printf("%d\t%s\t%d\t", id == 0xFFFF ? -1 : id, cls, (int)checked);
    print_escaped(text_of(child));
    printf("\n");
  }
  return 0;
}

// The progress bar's position (control 111, PBM_GETPOS) and the status line.
// The main dialog of KIND, when it has its progress bar; says why not.
HWND progress_dialog(Kind kind) {
  HWND window = require(kind);
  if (window && !GetDlgItem(window, 111)) {
    printf("no progress bar\n");
    return nullptr;
  }
  return window;
}

// Reads the bar's position and the status line; false when either question
// goes unanswered (the installer may end between the two, and a status that
// cannot be read must not pass for an empty one).
bool read_progress(HWND window, int* position, std::string* status) {
  DWORD_PTR pos = 0;
  char text[1024] = "";
  if (!SendMessageTimeoutA(GetDlgItem(window, 111), PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 2000,
                           &pos) ||
      !SendMessageTimeoutA(GetDlgItem(window, 102), WM_GETTEXT, sizeof text, (LPARAM)text,
                           SMTO_ABORTIFHUNG, 2000, nullptr))
    return false;
  *position = (int)pos;
  *status = text;
  return true;
}

void print_progress(int position, const std::string& status) {
  printf("%d\t", position);
  print_escaped(status);
  printf("\n");
  fflush(stdout);
}

int cmd_progress(Kind kind) {
  HWND window = progress_dialog(kind);
  if (!window) return 1;
  int position;
  std::string status;
  if (!read_progress(window, &position, &status)) {
    printf("no answer\n");
    return 1;
  }
  print_progress(position, status);
  return 0;
}

// Follows the progress bar from inside Wine until the window goes (or ms
// pass): a line "POSITION\tSTATUS" at once and then at each change. One
// process looking every 10 ms sees an installation that lasts a fraction of
// a second, which a new probe for each look (a Wine start-up each) misses.
int cmd_progress_watch(Kind kind, DWORD ms) {
  HWND window = progress_dialog(kind);
  if (!window) return 1;
  const DWORD start = GetTickCount();
  int last = -1, position;
  std::string last_status, status;
  while (IsWindow(window) && GetTickCount() - start < ms && read_progress(window, &position, &status)) {
    if (position != last || status != last_status) {
      last = position;
      last_status = status;
      print_progress(position, status);
    }
    Sleep(10);
  }
  return 0;
}

// A point of the control that a click reaches: its centre, or when another
// window covers that (the prompt lies over part of the main dialog), the
// first point of a grid over the control that is not covered.
int cmd_where(Kind kind, int id) {
  HWND window = require(kind);
  if (!window) return 1;
  HWND control = GetDlgItem(window, id);
  if (!control) {
    printf("no control %d\n", id);
    return 1;
  }
  RECT r;
  GetWindowRect(control, &r);
  POINT centre = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  if (WindowFromPoint(centre) == control) {
    printf("%ld %ld\n", centre.x, centre.y);
    return 0;
  }
  for (int gy = 1; gy < 4; gy++) {
    for (int gx = 1; gx < 8; gx++) {
      POINT p = {r.left + (r.right - r.left) * gx / 8, r.top + (r.bottom - r.top) * gy / 4};
      if (WindowFromPoint(p) == control) {
        printf("%ld %ld\n", p.x, p.y);
        return 0;
      }
    }
  }
  printf("control %d is covered\n", id);
  return 1;
}

// The centre of the close box at the right end of the caption: the frame is
// as wide on each side as on the left, and the caption lies between the
// frame and the client area.
int cmd_close_box(Kind kind) {
  HWND window = require(kind);
  if (!window) return 1;
  RECT frame;
  GetWindowRect(window, &frame);
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  int border = origin.x - frame.left;
  int caption = origin.y - frame.top - border;
  printf("%ld %ld\n", frame.right - border - GetSystemMetrics(SM_CXSIZE) / 2,
         frame.top + border + caption / 2);
  return 0;
}

// Dialog units to pixels as the dialog manager converts them for a template
// without a font of its own: with the system's dialog base units.
struct Units {
  int x, y;
};

Units base_units() {
  LONG units = GetDialogBaseUnits();
  return {LOWORD(units), HIWORD(units)};
}

int px_x(int du, Units u) { return MulDiv(du, u.x, 4); }
int px_y(int du, Units u) { return MulDiv(du, u.y, 8); }

// A spot of the client area where no control lies: a click there activates
// the window without pressing anything. Dialogs: below the Help button
// (main) or below the buttons (prompt); message boxes: their top-left corner.
int cmd_focus_point(Kind kind) {
  HWND window = require(kind);
  if (!window) return 1;
  POINT p = {2, 2};
  Units u = base_units();
  if (kind == KIND_MAIN) p = {px_x(222, u), px_y(60, u)};
  if (kind == KIND_PROMPT) p = {px_x(172, u), px_y(40, u)};
  ClientToScreen(window, &p);
  printf("%ld %ld\n", p.x, p.y);
  return 0;
}

// A size converts either on its own or as the difference of the converted
// edges; both roundings are the template's geometry.
bool size_matches(int actual, int pos, int size, int base, int per) {
  return actual == MulDiv(size, base, per) ||
         actual == MulDiv(pos + size, base, per) - MulDiv(pos, base, per);
}

int cmd_geometry(Kind kind) {
  HWND window = require(kind);
  if (!window) return 1;
  const ExpectedDialog& expected = kind == KIND_MAIN ? kMainDialog : kPromptDialog;
  Units u = base_units();
  int failures = 0;
  printf("base units %d %d\n", u.x, u.y);

  // The client area sits at the template's position (no owner: counted from
  // the screen's top-left) and has the template's size.
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  RECT client;
  GetClientRect(window, &client);
  bool ok = origin.x == px_x(expected.x, u) && origin.y == px_y(expected.y, u) &&
            size_matches(client.right, expected.x, expected.cx, u.x, 4) &&
            size_matches(client.bottom, expected.y, expected.cy, u.y, 8);
  printf("%s dialog client %ld %ld %ld %ld expected %d %d %d %d\n", ok ? "ok" : "FAIL", origin.x,
         origin.y, client.right, client.bottom, px_x(expected.x, u), px_y(expected.y, u),
         px_x(expected.cx, u), px_y(expected.cy, u));
  failures += !ok;

  RECT frame;
  GetWindowRect(window, &frame);
  printf("frame %ld %ld %ld %ld\n", frame.left, frame.top, frame.right, frame.bottom);

  for (int i = 0; i < expected.count; i++) {
    const ExpectedControl& c = expected.controls[i];
    HWND control = GetDlgItem(window, c.id == -1 ? 0xFFFF : c.id);
    if (!control) {
      printf("FAIL control %d missing\n", c.id);
      failures++;
      continue;
    }
    RECT r;
    GetWindowRect(control, &r);
    POINT tl = {r.left, r.top};
    ScreenToClient(window, &tl);
    int w = r.right - r.left, h = r.bottom - r.top;
    bool pos_ok = tl.x == px_x(c.x, u) && tl.y == px_y(c.y, u);
    // An icon control of size 0 takes the icon's size.
    bool size_ok = (c.cx == 0 && c.cy == 0) ||
                   (size_matches(w, c.x, c.cx, u.x, 4) && size_matches(h, c.y, c.cy, u.y, 8));
    printf("%s control %d client %ld %ld %d %d expected %d %d %d %d screen %ld %ld %ld %ld\n",
           pos_ok && size_ok ? "ok" : "FAIL", c.id, tl.x, tl.y, w, h, px_x(c.x, u),
           px_y(c.y, u), px_x(c.cx, u), px_y(c.cy, u), r.left, r.top, r.right, r.bottom);
    failures += !(pos_ok && size_ok);
  }
  // Nothing beyond the template's controls.
  int children = (int)children_of(window).size();
  if (children != expected.count) {
    printf("FAIL %d controls, expected %d\n", children, expected.count);
    failures++;
  }
  return failures ? 1 : 0;
}

// --- resources ---------------------------------------------------------

struct Reader {
  const BYTE* p;
  const BYTE* end;
  bool bad;
  WORD word() {
    if (p + 2 > end) { bad = true; return 0; }
    WORD v = (WORD)(p[0] | (p[1] << 8));
    p += 2;
    return v;
  }
  DWORD dword() {
    DWORD lo = word();
    return lo | ((DWORD)word() << 16);
  }
  void align4(const BYTE* base) {
    while ((p - base) % 4) p++;
  }
  // A name-or-ordinal field: 0 (none), 0xFFFF + ordinal, or a UTF-16 string.
  // Returns the ordinal, or -1 for a string (then `text` holds it, as ASCII).
  int sz_or_ord(std::string* text) {
    text->clear();
    WORD first = word();
    if (first == 0xFFFF) return word();
    if (first == 0) return 0;
    for (WORD ch = first; ch && !bad; ch = word()) text->push_back((char)ch);
    return -1;
  }
};

int fail_count;

void check(bool ok, const char* what, long actual, long expected) {
  printf("%s %s %ld expected %ld\n", ok ? "ok" : "FAIL", what, actual, expected);
  if (!ok) fail_count++;
}

void check_value(const char* what, long actual, long expected) {
  check(actual == expected, what, actual, expected);
}

void check_template(HMODULE module, const ExpectedDialog& expected) {
  printf("dialog %d\n", expected.resource);
  HRSRC info = FindResourceExA(module, (LPCSTR)RT_DIALOG, MAKEINTRESOURCEA(expected.resource),
                               MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
  if (!info) {
    printf("FAIL dialog %d not found in the neutral language\n", expected.resource);
    fail_count++;
    return;
  }
  const BYTE* base = (const BYTE*)LockResource(LoadResource(module, info));
  Reader in = {base, base + SizeofResource(module, info), false};
  DWORD style = in.dword();
  // The extended form begins with the words 1, 0xFFFF.
  check(style != 0xFFFF0001, "classic template (not extended)", 1, 1);
  check_value("style", style, expected.style);
  check_value("no set-font style", style & DS_SETFONT, 0);
  check_value("extended style", in.dword(), 0);
  WORD count = in.word();
  check_value("control count", count, expected.count);
  check_value("x", (SHORT)in.word(), expected.x);
  check_value("y", (SHORT)in.word(), expected.y);
  check_value("cx", (SHORT)in.word(), expected.cx);
  check_value("cy", (SHORT)in.word(), expected.cy);
  std::string text;
  check_value("no menu", in.sz_or_ord(&text), 0);
  check_value("default class", in.sz_or_ord(&text), 0);
  // The caption: the title, which the packer writes into the template.
  bool titled = in.sz_or_ord(&text) == -1 && text == title_wanted();
  printf("%s caption \"%s\" expected \"%s\"\n", titled ? "ok" : "FAIL", text.c_str(), title_wanted());
  fail_count += !titled;
  for (int i = 0; i < count && i < expected.count && !in.bad; i++) {
    const ExpectedControl& c = expected.controls[i];
    in.align4(base);
    printf("control %d\n", c.id);
    check_value("  style", in.dword(), c.style);
    check_value("  extended style", in.dword(), 0);
    check_value("  x", (SHORT)in.word(), c.x);
    check_value("  y", (SHORT)in.word(), c.y);
    check_value("  cx", (SHORT)in.word(), c.cx);
    check_value("  cy", (SHORT)in.word(), c.cy);
    check_value("  id", (SHORT)in.word(), c.id);
    if (c.class_atom == CLASS_BY_NAME) {
      int by_name = in.sz_or_ord(&text);
      // Class names are compared without regard to case (the resource
      // compiler writes this one in capitals).
      bool same = by_name == -1 && _stricmp(text.c_str(), "msctls_progress32") == 0;
      printf("%s   class \"%s\" expected \"msctls_progress32\"\n", same ? "ok" : "FAIL", text.c_str());
      fail_count += !same;
    } else {
      check_value("  class atom", in.sz_or_ord(&text), c.class_atom);
    }
    int ordinal = in.sz_or_ord(&text);
    if (c.text_ordinal) {
      check_value("  text ordinal", ordinal, c.text_ordinal);
    } else if (c.text) {
      bool same = (ordinal == -1 && text == c.text) || (ordinal == 0 && !*c.text);
      printf("%s   text \"%s\" expected \"%s\"\n", same ? "ok" : "FAIL", text.c_str(), c.text);
      fail_count += !same;
    } else {
      printf("%s   text \"%s\" (the publisher's notice)\n", ordinal == -1 ? "ok" : "FAIL",
             text.c_str());
      fail_count += ordinal != -1;
    }
    check_value("  creation data", in.word(), 0);
  }
  if (in.bad) {
    printf("FAIL template %d is cut short\n", expected.resource);
    fail_count++;
  }
}

// Icon group 3: one 32 x 32 image with 16 colours, image id 1.
void check_icon(HMODULE module) {
  printf("icon group 3\n");
  HRSRC info = FindResourceExA(module, (LPCSTR)RT_GROUP_ICON, MAKEINTRESOURCEA(3),
                               MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
  if (!info) {
    printf("FAIL icon group 3 not found in the neutral language\n");
    fail_count++;
    return;
  }
  const BYTE* g = (const BYTE*)LockResource(LoadResource(module, info));
  check_value("group size", SizeofResource(module, info), 6 + 14);
  check_value("type", g[2] | (g[3] << 8), 1);
  check_value("images", g[4] | (g[5] << 8), 1);
  const BYTE* e = g + 6;
  check_value("width", e[0], 32);
  check_value("height", e[1], 32);
  check_value("colours", e[2], 16);
  check_value("bits per pixel", e[6] | (e[7] << 8), 4);
  check_value("image id", e[12] | (e[13] << 8), 1);
  HRSRC image = FindResourceA(module, MAKEINTRESOURCEA(1), (LPCSTR)RT_ICON);
  if (!image) {
    printf("FAIL icon image 1 not found\n");
    fail_count++;
    return;
  }
  const BYTE* bmp = (const BYTE*)LockResource(LoadResource(module, image));
  check_value("image header", *(const DWORD*)bmp, 40);
  check_value("image width", *(const LONG*)(bmp + 4), 32);
  check_value("image height (colour and mask)", *(const LONG*)(bmp + 8), 64);
  check_value("image bits per pixel", *(const WORD*)(bmp + 14), 4);
}

BOOL CALLBACK count_type(HMODULE, LPSTR type, LONG_PTR param) {
  std::vector<long>* types = (std::vector<long>*)param;
  types->push_back(IS_INTRESOURCE(type) ? (long)(ULONG_PTR)type : -1);
  return TRUE;
}

BOOL CALLBACK count_language(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR param) {
  if (language != 0) ++*(int*)param;
  return TRUE;
}

int cmd_resources(const char* path) {
  HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) {
    printf("FAIL cannot load %s as data (error %lu)\n", path, GetLastError());
    return 1;
  }
  check_template(module, kMainDialog);
  check_template(module, kPromptDialog);
  check_icon(module);
  // No menus, string tables, version records or anything else beside the
  // manifest (read by `probe manifest`).
  std::vector<long> types;
  EnumResourceTypesA(module, count_type, (LONG_PTR)&types);
  for (long type : types) {
    bool expected = type == (long)(ULONG_PTR)RT_DIALOG || type == (long)(ULONG_PTR)RT_ICON ||
                    type == (long)(ULONG_PTR)RT_GROUP_ICON || type == (long)(ULONG_PTR)RT_MANIFEST;
    printf("%s resource type %ld\n", expected ? "ok" : "FAIL", type);
    fail_count += !expected;
    int other_languages = 0;
    if (type > 0) {
      // Every resource of the type is language neutral.
      for (int id = 1; id <= 3; id++)
        EnumResourceLanguagesA(module, MAKEINTRESOURCEA(type), MAKEINTRESOURCEA(id),
                               count_language, (LONG_PTR)&other_languages);
    }
    check_value("  resources in another language", other_languages, 0);
  }
  FreeLibrary(module);
  printf("%d failures\n", fail_count);
  return fail_count ? 1 : 0;
}

// The manifest (type 24, id 1, language neutral) as FindResource and
// LoadResource give it, written unchanged to stdout for the test to parse.
int cmd_manifest(const char* path) {
  HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) {
    fprintf(stderr, "cannot load %s as data (error %lu)\n", path, GetLastError());
    return 1;
  }
  HRSRC info = FindResourceExA(module, (LPCSTR)RT_MANIFEST, MAKEINTRESOURCEA(1),
                               MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
  const void* bytes = info ? LockResource(LoadResource(module, info)) : nullptr;
  if (!bytes) {
    fprintf(stderr, "no manifest 1 in the neutral language\n");
    return 1;
  }
  _setmode(_fileno(stdout), _O_BINARY);
  fwrite(bytes, 1, SizeofResource(module, info), stdout);
  return 0;
}

// The icon group 3 as Windows' calls read it: one line per image, "image I
// WIDTH HEIGHT COLOURS PLANES BITS SIZE ID", its bytes (RT_ICON ID) written to
// DIR\imageI.bin, and "made" when CreateIconFromResourceEx makes an icon of
// them; then the image LookupIconIdFromDirectoryEx picks for 256 pixels.
int cmd_icons(const char* path, const char* dir) {
  HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) {
    printf("cannot load %s as data (error %lu)\n", path, GetLastError());
    return 1;
  }
  HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(3), (LPCSTR)RT_GROUP_ICON);
  const BYTE* group = info ? (const BYTE*)LockResource(LoadResource(module, info)) : nullptr;
  if (!group || SizeofResource(module, info) < 6) {
    printf("no icon group 3\n");
    return 1;
  }
  int count = group[4] | (group[5] << 8);
  if (SizeofResource(module, info) < 6u + 14u * count) {
    printf("the icon group is cut short\n");
    return 1;
  }
  int failures = 0;
  for (int i = 0; i < count; i++) {
    const BYTE* e = group + 6 + 14 * i;
    int id = e[12] | (e[13] << 8);
    HRSRC image = FindResourceA(module, MAKEINTRESOURCEA(id), (LPCSTR)RT_ICON);
    const BYTE* bytes = image ? (const BYTE*)LockResource(LoadResource(module, image)) : nullptr;
    DWORD size = image ? SizeofResource(module, image) : 0;
    printf("image %d %d %d %d %d %d %lu %d", i + 1, e[0], e[1], e[2], e[4] | (e[5] << 8),
           e[6] | (e[7] << 8), size, id);
    if (!bytes) {
      printf(" missing\n");
      failures++;
      continue;
    }
    std::string out = std::string(dir) + "\\image" + std::to_string(i + 1) + ".bin";
    if (FILE* f = fopen(out.c_str(), "wb")) {
      fwrite(bytes, 1, size, f);
      fclose(f);
    }
    int side = e[0] ? e[0] : 256;
    HICON icon = CreateIconFromResourceEx((PBYTE)bytes, size, TRUE, 0x00030000, side, side, 0);
    printf("%s\n", icon ? " made" : " not made");
    if (icon) DestroyIcon(icon);
    else failures++;
  }
  printf("for 256 pixels: %d\n", LookupIconIdFromDirectoryEx((PBYTE)group, TRUE, 256, 256, 0));
  FreeLibrary(module);
  return failures ? 1 : 0;
}

// The version record as Explorer reads it: "fixed FILE PRODUCT" (the numeric
// versions), then "NAME=VALUE" for each text of the U.S. English table.
int cmd_version(const char* path) {
  wchar_t wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH);
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeW(wide, &handle);
  if (!size) {
    printf("no version record (error %lu)\n", GetLastError());
    return 1;
  }
  std::vector<BYTE> data(size);
  if (!GetFileVersionInfoW(wide, 0, size, data.data())) {
    printf("the version record cannot be read\n");
    return 1;
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), L"\\", (void**)&fixed, &length) || !fixed ||
      fixed->dwSignature != 0xFEEF04BD) {
    printf("no fixed part\n");
    return 1;
  }
  printf("fixed %lu.%lu.%lu.%lu %lu.%lu.%lu.%lu\n", fixed->dwFileVersionMS >> 16,
         fixed->dwFileVersionMS & 0xFFFF, fixed->dwFileVersionLS >> 16, fixed->dwFileVersionLS & 0xFFFF,
         fixed->dwProductVersionMS >> 16, fixed->dwProductVersionMS & 0xFFFF,
         fixed->dwProductVersionLS >> 16, fixed->dwProductVersionLS & 0xFFFF);
  for (const wchar_t* name : {L"ProductName", L"FileDescription", L"CompanyName", L"ProductVersion",
                              L"FileVersion"}) {
    std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    wchar_t* text = nullptr;
    if (!VerQueryValueW(data.data(), query.c_str(), (void**)&text, &length) || !text) continue;
    char utf8[512];
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    char key[64];
    WideCharToMultiByte(CP_UTF8, 0, name, -1, key, sizeof key, nullptr, nullptr);
    printf("%s=%s\n", key, utf8);
  }
  return 0;
}

// --- files -------------------------------------------------------------

void print_local(const char* what, const FILETIME& utc) {
  FILETIME local;
  SYSTEMTIME t;
  FileTimeToLocalFileTime(&utc, &local);
  FileTimeToSystemTime(&local, &t);
  printf("%s %04d-%02d-%02d %02d:%02d:%02d\n", what, t.wYear, t.wMonth, t.wDay, t.wHour,
         t.wMinute, t.wSecond);
}

int cmd_file(const char* path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) {
    printf("missing %lu\n", GetLastError());
    return 1;
  }
  printf("attributes 0x%lx\n", data.dwFileAttributes);
  printf("size %lu\n", data.nFileSizeLow);
  print_local("written", data.ftLastWriteTime);
  print_local("created", data.ftCreationTime);
  return 0;
}

int usage() {
  fprintf(stderr,
          "usage: probe wait|gone|progress-watch KIND MS | count|controls|progress|geometry|focus-point|close-box KIND |\n"
          "       where KIND ID | resources|manifest|version EXE | icons EXE DIR | file PATH\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc < 3) return usage();
  const char* command = argv[1];
  if (!strcmp(command, "resources")) return cmd_resources(argv[2]);
  if (!strcmp(command, "code-page")) return printf("%u\n", GetACP()) < 0;
  if (!strcmp(command, "manifest")) return cmd_manifest(argv[2]);
  if (!strcmp(command, "version")) return cmd_version(argv[2]);
  if (!strcmp(command, "icons") && argc == 4) return cmd_icons(argv[2], argv[3]);
  if (!strcmp(command, "file")) return cmd_file(argv[2]);
  Kind kind = parse_kind(argv[2]);
  if (kind == KIND_NONE) return usage();
  if (!strcmp(command, "wait") && argc == 4) return cmd_wait(kind, (DWORD)atol(argv[3]));
  if (!strcmp(command, "gone") && argc == 4) return cmd_gone(kind, (DWORD)atol(argv[3]));
  if (!strcmp(command, "count")) return printf("%d\n", count_windows(kind)) < 0;
  if (!strcmp(command, "controls")) return cmd_controls(kind);
  if (!strcmp(command, "progress")) return cmd_progress(kind);
  if (!strcmp(command, "progress-watch") && argc == 4)
    return cmd_progress_watch(kind, (DWORD)atol(argv[3]));
  if (!strcmp(command, "where") && argc == 4) return cmd_where(kind, atoi(argv[3]));
  if (!strcmp(command, "focus-point")) return cmd_focus_point(kind);
  if (!strcmp(command, "close-box")) return cmd_close_box(kind);
  if (!strcmp(command, "geometry")) return cmd_geometry(kind);
  return usage();
}
