#pragma once
// The two dialog templates as the installer must carry them: every style,
// position, size, id, class and text, written down independently of the
// resource script so that the tests catch a template that drifts from them.
// Classes are the predefined atoms; positions and sizes are dialog units.

struct ExpectedControl {
  int id;            // -1 for the icon (0xFFFF in the template)
  int class_atom;    // 0x80 BUTTON, 0x81 EDIT, 0x82 STATIC; CLASS_BY_NAME: the
                     // progress bar, whose class the template names
  const char* text;  // exact text; null: any non-empty text
  int text_ordinal;  // a resource ordinal instead of a text (the icon), or 0
  unsigned long style;
  int x, y, cx, cy;
};

struct ExpectedDialog {
  int resource;
  unsigned long style;
  int x, y, cx, cy;
  const ExpectedControl* controls;
  int count;
};

constexpr int ATOM_BUTTON = 0x80;
constexpr int ATOM_EDIT = 0x81;
constexpr int ATOM_STATIC = 0x82;
constexpr int CLASS_BY_NAME = -1;  // msctls_progress32

// Dialog 1: WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_3DLOOK.
// Template order, which is also the tab order.
inline constexpr ExpectedControl kMainControls[] = {
    {101, ATOM_EDIT, "", 0, 0x50810480, 5, 33, 196, 10},
    {108, ATOM_BUTTON, "&Extract", 0, 0x50010001, 206, 5, 33, 12},
    {104, ATOM_BUTTON, "&Cancel", 0, 0x50010000, 206, 21, 33, 12},
    {107, ATOM_STATIC, "Extract to Folder:", 0, 0x50000000, 5, 23, 175, 8},
    {102, ATOM_STATIC, nullptr, 0, 0x50000001, 5, 70, 234, 8},
    {103, ATOM_BUTTON, "Help", 0, 0x50010000, 206, 37, 33, 12},
    {106, ATOM_BUTTON, "Overwrite Existing Files Without Prompting", 0, 0x50010103, 5, 47, 140,
     10},
    {105, ATOM_STATIC, "", 0, 0x50000000, 5, 5, 196, 16},
    {111, CLASS_BY_NAME, "", 0, 0x50000000, 5, 59, 234, 9},
};
inline constexpr ExpectedDialog kMainDialog = {1, 0x90C80084, 57, 37, 244, 81, kMainControls, 9};

// Dialog 2: WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME | DS_3DLOOK.
inline constexpr ExpectedControl kPromptControls[] = {
    {-1, ATOM_STATIC, nullptr, 32514, 0x50000003, 5, 5, 0, 0},
    {107, ATOM_STATIC, "", 0, 0x50020001, 26, 5, 154, 20},
    {109, ATOM_BUTTON, "&Yes", 0, 0x50010001, 22, 26, 44, 12},
    {110, ATOM_BUTTON, "&No", 0, 0x50010000, 70, 26, 44, 12},
    {108, ATOM_BUTTON, "Yes To &All", 0, 0x50010000, 118, 26, 44, 12},
};
inline constexpr ExpectedDialog kPromptDialog = {2, 0x90C00084, 95, 60, 185, 43, kPromptControls, 5};
