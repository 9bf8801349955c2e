// Reports SPI_GETSCREENSAVERRUNNING as its exit code (1 running, 0 not, 2
// unreadable). Wine caches system parameters per process on first read, so
// the tests ask a fresh process every time.
#include <windows.h>

int main() {
  BOOL running = FALSE;
  if (!SystemParametersInfoW(SPI_GETSCREENSAVERRUNNING, 0, &running, 0)) return 2;
  return running ? 1 : 0;
}
