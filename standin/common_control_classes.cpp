#include "standin/common_control_classes.h"

#include <commctrl.h>

#include <vector>

#include "standin/import_patch.h"

namespace standin {
namespace {

// Which ICC flags register which class (tooltips come with three of them).
struct ClassRow {
  const wchar_t* name;
  DWORD flags;
};
constexpr ClassRow kClasses[] = {
    {L"msctls_updown32", ICC_UPDOWN_CLASS},
    {L"tooltips_class32", ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_TREEVIEW_CLASSES},
    {L"ToolbarWindow32", ICC_BAR_CLASSES},
    {L"msctls_statusbar32", ICC_BAR_CLASSES},
    {L"msctls_trackbar32", ICC_BAR_CLASSES},
    {L"SysListView32", ICC_LISTVIEW_CLASSES},
    {L"SysHeader32", ICC_LISTVIEW_CLASSES},
    {L"SysTreeView32", ICC_TREEVIEW_CLASSES},
    {L"SysTabControl32", ICC_TAB_CLASSES},
    {L"msctls_progress32", ICC_PROGRESS_CLASS},
    {L"msctls_hotkey32", ICC_HOTKEY_CLASS},
    {L"SysAnimate32", ICC_ANIMATE_CLASS},
    {L"SysDateTimePick32", ICC_DATE_CLASSES},
    {L"SysMonthCal32", ICC_DATE_CLASSES},
    {L"ComboBoxEx32", ICC_USEREX_CLASSES},
    {L"ReBarWindow32", ICC_COOL_CLASSES},
    {L"SysPager", ICC_PAGESCROLLER_CLASS},
    {L"SysIPAddress32", ICC_INTERNET_CLASSES},
    {L"NativeFontCtl", ICC_NATIVEFNTCTL_CLASS},
    {L"SysLink", ICC_LINK_CLASS},
};

struct TakenClass {
  WNDCLASSEXW registration;
  DWORD flags;
};

// Window classes belong to the process, and the replacement imports get no context.
std::vector<TakenClass>& Taken() {
  static std::vector<TakenClass> taken;
  return taken;
}

void Give(DWORD flags) {
  for (const TakenClass& taken : Taken()) {
    if (taken.flags & flags) ::RegisterClassExW(&taken.registration);  // fails harmlessly when given already
  }
}

BOOL WINAPI InitCommonControlsExOnRequest(const INITCOMMONCONTROLSEX* init) {
  const BOOL result = ::InitCommonControlsEx(init);
  if (result) Give(init->dwICC);
  return result;
}

void WINAPI InitCommonControlsOnRequest() {
  ::InitCommonControls();
  Give(ICC_WIN95_CLASSES);
}

}  // namespace

bool TakeAwayCommonControlClasses() {
  // Loaded for good: a later first load would register every class again.
  HMODULE comctl32 = ::LoadLibraryA("comctl32.dll");
  if (!comctl32) return false;
  for (const ClassRow& row : kClasses) {
    TakenClass taken{};
    taken.registration.cbSize = sizeof taken.registration;
    taken.flags = row.flags;
    if (!::GetClassInfoExW(comctl32, row.name, &taken.registration)) continue;
    taken.registration.lpszClassName = row.name;
    if (::UnregisterClassW(row.name, taken.registration.hInstance)) Taken().push_back(taken);
  }
  return true;
}

void GiveCommonControlClassesOnRequest(HMODULE plugin) {
  PatchImport(plugin, "comctl32.dll", "InitCommonControlsEx", reinterpret_cast<void*>(&InitCommonControlsExOnRequest));
  PatchImport(plugin, "comctl32.dll", "InitCommonControls", reinterpret_cast<void*>(&InitCommonControlsOnRequest));
}

void RestoreCommonControlClasses() {
  Give(~DWORD{0});
  Taken().clear();
}

}  // namespace standin
