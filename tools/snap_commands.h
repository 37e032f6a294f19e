// The commands of twsnap, each over an installation set up by the caller
// (SetInstallation). Each returns the process exit status: 0 all well, 1
// damage or failure, 2 a usage error.
#pragma once

#include <string>
#include <vector>

struct SnapOptions {
  bool quiet = false;  // no progress lines
  bool force = false;  // extract: replace an existing output, write a damaged hive
  bool all = false;    // verify: every listed snapshot and a summary line
};

int ListSnapshots();
int VerifySnapshots(const std::vector<std::string>& targets, const SnapOptions& options);
int ExtractSection(const std::string& target, const std::string& section, const std::string& out,
                   const SnapOptions& options);
int PrepareRestore(const std::string& day, const SnapOptions& options);
int PrepareUndo();
int RestoreSystem(const std::string& day, const SnapOptions& options);
