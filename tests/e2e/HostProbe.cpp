// A stand-in for a screen-saver host that scales with its screen: a process
// aware of each monitor's density (or, with "unaware", one that leaves its
// scaling to the system), started at the density under test, with one
// window of the driver's host colour. It puts the window's handle under the
// doubles' key ("HostWindow") and ends when the window is closed.
//
//   lumidial_e2e_host_probe.exe LEFT TOP WIDTH HEIGHT [unaware]
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc != 5 && !(argc == 6 && std::wcscmp(argv[5], L"unaware") == 0)) return 2;
  SetThreadDpiAwarenessContext(argc == 5 ? DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 : DPI_AWARENESS_CONTEXT_UNAWARE);
  WNDCLASSW wc{};
  wc.lpfnWndProc = [](HWND window, UINT message, WPARAM wp, LPARAM lp) -> LRESULT {
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(window, message, wp, lp);
  };
  wc.hbrBackground = CreateSolidBrush(RGB(40, 60, 200));
  wc.lpszClassName = L"LumidialScaledHost";
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"Host", WS_POPUP,
                                _wtoi(argv[1]), _wtoi(argv[2]), _wtoi(argv[3]), _wtoi(argv[4]), nullptr,
                                nullptr, nullptr, nullptr);
  if (!window) return 1;
  ShowWindow(window, SW_SHOWNA);
  const DWORD handle = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(window));
  RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Lumidial Tests\\Doubles", L"HostWindow", REG_DWORD, &handle,
                  sizeof handle);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  return 0;
}
