// Runs a built program with its standard output and standard error captured apart.
#pragma once

#include <string>
#include <vector>

struct ProgramResult {
  std::string out;
  std::string err;
  int exitStatus;  // 128 + the signal when the program was killed
};

// Runs `program` with `args` in `workDir`, through `launcher` (its words, split on blanks)
// when that is not empty. Standard input is empty.
ProgramResult RunProgram(const std::string& launcher, const std::string& program,
                         const std::vector<std::string>& args, const std::string& workDir);
