#include <windows.h>

#include "library/library_snapshot.h"

void LibrarySnapshot::FillList(HWND list, int kind) const {
  const std::vector<std::string> values = DisplayValues(kind);
  // A library can hold a hundred thousand values: no repainting per item, and the
  // list's storage reserved once instead of grown item by item.
  ::SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  ::SendMessageA(list, LB_RESETCONTENT, 0, 0);
  if (!values.empty()) {
    size_t bytes = 0;
    for (const std::string& value : values) bytes += value.size() + 1;
    ::SendMessageA(list, LB_INITSTORAGE, values.size(), bytes);
  }
  for (const std::string& value : values) {
    ::SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(value.c_str()));
  }
  ::SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(list, nullptr, TRUE);
}
