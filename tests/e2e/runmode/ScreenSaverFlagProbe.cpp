// Reports SPI_GETSCREENSAVERRUNNING as its exit code (1 running, 0 not).
// Wine caches a system parameter in each process once read, so the driver
// asks a fresh process every time instead of asking itself.
#include <windows.h>

int main() {
  BOOL running = FALSE;
  if (!SystemParametersInfoW(SPI_GETSCREENSAVERRUNNING, 0, &running, 0)) return 2;
  return running ? 1 : 0;
}
