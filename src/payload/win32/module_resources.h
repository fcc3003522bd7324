// ResourceSource on the program's own executable.
#pragma once

#include "payload/extract.h"

namespace corvane {

class ModuleResources : public ResourceSource {
 public:
  // The bytes of RCDATA resource `id`; they stay mapped for the life of the process.
  std::span<const std::uint8_t> RcData(int id) override;
};

}  // namespace corvane
