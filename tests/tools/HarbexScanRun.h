#pragma once

// Runs the harbex-scan tool as a user would and keeps both of its outputs.

#include <string>
#include <vector>

#include "TestSupport.h"

namespace harbex::test {

struct ScanRun {
    int status = -1;
    std::string out;  // the listing
    std::string err;  // messages and the summary
};

// `arguments` are passed to the shell as they stand (quote paths as needed).
inline ScanRun RunHarbexScan(const std::string& arguments) {
    TempDir dir;
    std::string command = ShellQuoted(ToolPath("harbex-scan").string());
    command += ' ';
    command += arguments;
    command += " 2>";
    command += ShellQuoted((dir / "stderr").string());
    const CommandResult result = RunCommand(command);
    const std::vector<uint8_t> err = ReadFile(dir / "stderr");
    return {result.status, result.output, std::string(err.begin(), err.end())};
}

}  // namespace harbex::test
