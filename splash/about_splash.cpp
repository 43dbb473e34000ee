#include "splash/about_splash.h"

#include "resources/resource.h"
#include "splash/splash_screen_ex.h"

namespace tunyra {

void ShowAboutSplash(HWND parent, DWORD timeoutMs) {
  constexpr DWORD kStyle = SSX_FADE_IN | SSX_FADE_OUT | SSX_DROP_SHADOW | SSX_CENTER_SCREEN | SSX_CLOSE_ON_INPUT;
  auto* splash = new CSplashScreenEx();
  splash->Create(parent, nullptr, timeoutMs, kStyle);
  splash->SetBitmap(IDB_SPLASH, 255, 0, 0);
  splash->Show();
}

}  // namespace tunyra
