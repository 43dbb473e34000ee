// standin.exe: the stand-in player. Loads the library file and the gen_*.dll plug-ins,
// shows the playlist and the messages it receives, and answers the plug-ins as the
// real player would. Switches make it a hostile host (see command_line.h).

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/replacing_file.h"
#include "standin/command_line.h"
#include "standin/fault_report.h"
#include "standin/library_location.h"
#include "standin/player_window.h"
#include "standin/standin_host.h"

namespace {

std::string ProgramFolder() {
  char path[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  std::size_t slash = folder.find_last_of("\\/");
  return slash == std::string::npos ? "." : folder.substr(0, slash);
}

bool WriteLog(const standin::StandinHost& host, const std::string& path, std::string& error) {
  std::string text;
  for (const standin::LogEntry& entry : host.Log()) {
    char fields[64];
    std::snprintf(fields, sizeof fields, "%04X\t%08lX\t%ld\t", entry.message,
                  static_cast<unsigned long>(entry.wParam), static_cast<long>(entry.lParam));
    text += fields + entry.text + "\r\n";
  }
  return tunyra::ReplaceFileWith(path, text, "log", error);
}

// A first playlist for looking at the player without a plug-in: sent through the
// host messages like a plug-in's.
void EnqueueDemoPlaylist(standin::StandinHost& host) {
  const ItemRecordList& library = host.Library();
  HWND main = host.MainWindow();
  ::SendMessageA(main, WM_USER, 0, host_msg::kClearPlaylist);
  for (int i = 0; i < library.size && i < 12; ++i) {
    const ItemRecord& item = library.items[i];
    EnqueueRecord record{item.filename, item.title, item.length};
    ::SendMessageA(main, WM_USER, reinterpret_cast<WPARAM>(&record), host_msg::kEnqueue);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  standin::InstallFaultReport();

  std::vector<std::string> args;
  for (int i = 1; i < __argc; ++i) args.emplace_back(__argv[i]);
  standin::CommandLine commandLine;
  cli::Reading reading;
  std::string error;
  if (!standin::ParseCommandLine(args, commandLine, reading, error)) {
    cli::PrintUsageError(standin::kStandinProgram, error);
    const std::string text = error + "\n\n" + standin::CommandLineHelp();
    ::MessageBoxA(nullptr, text.c_str(), "Tunyra Stand-in Player", MB_OK | MB_ICONEXCLAMATION);
    return cli::kExitUsage;
  }
  if (reading.help || reading.version) {
    std::fputs((reading.help ? standin::CommandLineHelp() : cli::VersionText(standin::kStandinProgram)).c_str(), stdout);
    return cli::kExitOk;
  }
  if (!commandLine.options.unregisteredCommonControls) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
  }

  standin::StandinHost host(commandLine.options);
  standin::PlayerWindow view(host);
  if (!host.Create(instance, &view, &error)) {
    const std::string text = error.empty() ? "Cannot create the main window." : error;
    cli::PrintError(standin::kStandinProgram, text);
    ::MessageBoxA(nullptr, text.c_str(), "Tunyra Stand-in Player", MB_OK | MB_ICONSTOP);
    return cli::kExitFailure;
  }
  const std::string library = commandLine.library.empty() ? standin::DefaultLibraryPath()
                                                          : commandLine.library;
  if (library.empty()) {
    host.Note("no library file found: the Media Library is empty");
  } else if (!host.LoadLibraryFile(library, error)) {
    host.Note(error);
    ::MessageBoxA(host.MainWindow(), error.c_str(), "Tunyra Stand-in Player",
                  MB_OK | MB_ICONEXCLAMATION);
  }

  ::ShowWindow(host.MainWindow(), show);
  ::UpdateWindow(host.MainWindow());

  if (!commandLine.noPlugins) {
    std::vector<std::string> errors;
    if (commandLine.plugins.empty()) {
      host.LoadPluginsIn(ProgramFolder(), errors);
    } else {
      for (const std::string& plugin : commandLine.plugins) {
        if (!host.LoadPlugin(plugin, error)) errors.push_back(error);
      }
    }
    for (const std::string& message : errors) {
      host.Note(message);
      cli::PrintError(standin::kStandinProgram, message);
    }
    if (host.Plugins().empty()) host.Note("no plug-in loaded");
  }
  if (commandLine.demoPlaylist) EnqueueDemoPlaylist(host);

  ACCEL keys[] = {{FVIRTKEY | FCONTROL, 'O', 1001}, {FVIRTKEY | FCONTROL, 'S', 1002}};
  HACCEL accelerators = ::CreateAcceleratorTableA(keys, 2);
  MSG msg;
  while (host.NextMessage(msg) > 0) {
    if (msg.hwnd != nullptr && ::GetAncestor(msg.hwnd, GA_ROOT) == host.MainWindow() &&
        ::TranslateAcceleratorA(host.MainWindow(), accelerators, &msg))
      continue;
    ::TranslateMessage(&msg);
    host.Dispatch(msg);
  }
  ::DestroyAcceleratorTable(accelerators);
  // Out of every window procedure now, so no plug-in frame is on the stack.
  host.UnloadPlugins();
  if (!commandLine.m3uOnExit.empty() && !host.WriteM3u(commandLine.m3uOnExit, error))
    cli::PrintError(standin::kStandinProgram, error);
  if (!commandLine.logOnExit.empty() && !WriteLog(host, commandLine.logOnExit, error))
    cli::PrintError(standin::kStandinProgram, error);
  host.Destroy();
  return static_cast<int>(msg.wParam);
}
