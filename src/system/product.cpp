#include "system/product.h"

namespace corvane {

std::vector<std::string> ProductFileList(const std::string& installFolder,
                                         const std::string& dataFolder) {
  const std::string& bin = installFolder;
  const std::string& data = dataFolder;
  return {
      bin + std::string(kMainProgram),
      bin + std::string(kHelperProgram),
      bin + "uninstall.exe",
      data + "default.rex",
      data + "default.stg",
      data + "default.pds",
      data + "default.aws",
      data + "help.bin",
      data + "Workspace1- simple file after correction.aws",
      data + "Workspace2- after making a clone and undo-ing modifications.aws",
      data + "Workspace3- after comparing the 2 documents.aws",
  };
}

}  // namespace corvane
