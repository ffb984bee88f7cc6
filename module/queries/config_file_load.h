#pragma once
// Reading the till's configuration file, with a missing file told apart from one that is
// there but cannot be read: the first is a till not yet set up, the second a damaged file the
// operator must restore.
#include <stdexcept>
#include <string>

#include "core/dialogs.h"
#include "tivplatform/dataset.h"
#include "tivplatform/errors.h"

namespace tiv02000 {

// The file is there but is not a whole configuration file (cut short, not a dataset, not a
// regular file). what() is the operator's text.
class CorruptConfigFile : public OperatorError {
  public:
    using OperatorError::OperatorError;
};

// No file at the path. what() is the operator's text.
class MissingConfigFile : public OperatorError {
  public:
    using OperatorError::OperatorError;
};

// Loads `path` into `file`. A missing file raises MissingConfigFile; a file that is there but
// does not load raises CorruptConfigFile. Either way the dataset's reason is logged.
void loadConfigFile(tiv::TClientDataSet &file, const std::string &path);

// The operator's text for a configuration file that is there but cannot be read.
std::string corruptConfigText(const std::string &path);

} // namespace tiv02000
