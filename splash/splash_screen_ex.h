#pragma once
// The About splash: a borderless, topmost tool popup the size of a bitmap, shaped to
// the bitmap's non-key pixels, fading in and out, closed by a one-shot timer or by a
// press on it. Fire and forget: the caller allocates it with new, calls Create,
// SetBitmap and Show, and keeps no pointer; the object deletes itself after its window
// is destroyed (by its timer, by input, or together with its owner).

#include <windows.h>

#include <string>

#include "winui/handles.h"
#include "winui/window.h"

namespace tunyra {

inline constexpr DWORD SSX_FADE_IN = 0x01;         // Show fades in over 500 ms
inline constexpr DWORD SSX_FADE_OUT = 0x02;        // Hide fades out over 200 ms
inline constexpr DWORD SSX_DROP_SHADOW = 0x04;     // class style CS_DROPSHADOW where supported
inline constexpr DWORD SSX_CENTER_SCREEN = 0x08;   // centred in the full-screen client area
inline constexpr DWORD SSX_CENTER_PARENT = 0x10;   // centred over the owner (screen centring wins)
inline constexpr DWORD SSX_CLOSE_ON_INPUT = 0x20;  // a key or mouse-button press closes it

inline constexpr char kSplashWindowClass[] = "SplashScreenExClass";

class CSplashScreenEx : public winui::Window {
 public:
  CSplashScreenEx();
  ~CSplashScreenEx() override;

  // Object form: the owner is a window object of ours (the Select Songs dialog).
  BOOL Create(winui::Wnd* pWndParent, LPCSTR text, DWORD timeout, DWORD style);
  // Handle form: the owner is a foreign window (the host's main window), or none.
  BOOL Create(HWND hWndParent, LPCSTR text, DWORD timeout, DWORD style);

  // Loads bitmap resource nBitmapID of our module, sizes and places the window and
  // shapes it to the pixels that differ from the key colour (red, green, blue). A -1
  // in any colour argument means no key colour: the window stays rectangular.
  // FALSE when the bitmap cannot be loaded or there is no window.
  BOOL SetBitmap(UINT nBitmapID, short red, short green, short blue);
  // The same with a bitmap the caller made; the object takes ownership of it.
  BOOL AdoptBitmap(HBITMAP bitmap, short red, short green, short blue);

  // Shows (or fades in) the window at its place and starts the close timer. An object
  // without a window (its Create failed) deletes itself here: the fire-and-forget
  // caller never comes back for it.
  void Show();
  // Hides (or fades out) and destroys the window, which deletes the object; an object
  // without a window deletes itself directly. The object is gone when Hide returns.
  void Hide();

  void UseDefaultGuiFont();
  // The picture at the top-left corner, then the text over it.
  void DrawWindow(HDC dc);
  // The region of the bitmap's pixels whose colour differs from `key`, owned by the
  // caller; an empty region when there are none, null when `bitmap` is null.
  HRGN MakeWindowRegion(HBITMAP bitmap, COLORREF key);

  // Window classes of a DLL outlive the DLL: a class left registered would send a later
  // copy of the plug-in, loaded elsewhere, into freed code. The plug-in calls this when
  // it is unloaded; it fails while a splash window still exists.
  static BOOL UnregisterWindowClass();

  // The input filter: with SSX_CLOSE_ON_INPUT, a key press or mouse-button press closes
  // the splash and the message goes no further.
  BOOL PreTranslateMessage(MSG* msg) override;
  static bool IsClosingInput(UINT message);

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  void PostNcDestroy() override;

 private:
  // The window tests read the placement, the picture's size and the region through it
  // (tests/splash/splash_test_support.h).
  friend class SplashInspector;

  BOOL CreateWindowForParent(LPCSTR text, DWORD timeout, DWORD style);
  void PlaceWindow();
  void OnPaint();
  void OnTimer();

  winui::Wnd* m_pWndParent = nullptr;
  winui::UniqueBitmap m_bitmap;
  winui::UniqueFont m_font;
  HRGN m_hRegion = nullptr;  // the window system owns it once applied
  DWORD m_dwStyle = 0;
  DWORD m_nTimeout = 2000;
  std::string m_strText;
  RECT m_rcText{0, 0, 0, 0};
  UINT m_uTextFormat = DT_CENTER | DT_VCENTER | DT_WORDBREAK;
  COLORREF m_crTextColor = RGB(0, 0, 0);
  int m_nBitmapWidth = 0;
  int m_nBitmapHeight = 0;
  int m_nWindowX = 0;
  int m_nWindowY = 0;
  HWND m_hWndParent = nullptr;
  bool m_bClosing = false;
};

}  // namespace tunyra
