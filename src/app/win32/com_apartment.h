// COM for the GUI thread: CoInitialize / CoUninitialize.
#pragma once

#include "app/setup_logic.h"

namespace corvane {

class Win32ComApartment final : public ComApartment {
 public:
  bool Enter() override;
  void Leave() override;
};

}  // namespace corvane
