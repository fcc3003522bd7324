// Sample product: kvx.exe.
#include "stand_in.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  return RunStandIn(instance, show, L"Corvane",
                    L"Corvane - search and compare files (sample product: main program kvx.exe)");
}
