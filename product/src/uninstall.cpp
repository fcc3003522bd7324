// Sample product: uninstall.exe.
#include "stand_in.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  return RunStandIn(instance, show, L"Uninstall Corvane",
                    L"Corvane uninstaller (sample product: uninstall.exe)");
}
