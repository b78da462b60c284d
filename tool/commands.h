#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace gloam {

// Exit codes of gloam-pob.
enum ToolExit : int { ToolOk = 0, ToolBadInput = 1, ToolBadUsage = 2 };

// Runs one gloam-pob command line (without the program name): results go to
// `out`, errors, warnings and notes to `err`, each naming its file.
int runTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace gloam
