// Sample product: kvxh.exe.
#include "stand_in.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  return RunStandIn(instance, show, L"Corvane Helper",
                    L"Corvane helper (sample product: companion program kvxh.exe)");
}
