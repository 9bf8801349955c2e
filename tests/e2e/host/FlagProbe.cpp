// Reads the screen-saver-running flag and returns it as the exit code
// (0 or 1; 2 if it could not be read). Wine caches system parameters per
// process on first read, so the driver asks a fresh process every time.
#include <windows.h>

int main() {
  BOOL running = FALSE;
  if (!SystemParametersInfoW(SPI_GETSCREENSAVERRUNNING, 0, &running, 0)) return 2;
  return running ? 1 : 0;
}
