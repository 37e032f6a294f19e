// twsnap: lists, checks, extracts and restores the registry snapshots of a
// Windows installation lying in a folder or on another drive, from a rescue
// system. Takes the same --drive and --systemroot as twboot.
#include <stdio.h>

#include <string>
#include <vector>

#include "messages.h"
#include "snap_commands.h"
#include "snap_platform.h"

namespace {

const char kUsage[] =
    "usage: twsnap --drive DIR [--systemroot DIR] [--quiet] COMMAND\n"
    "  list\n"
    "  verify [--all] [DAY|FILE...]\n"
    "  extract [--force] DAY|FILE system|software|sam|user OUT\n"
    "  prepare-restore DAY\n"
    "  prepare-undo\n"
    "  restore-system DAY\n";

int UsageError(const std::string& why) {
  fprintf(stderr, "twsnap: %s\n%s", why.c_str(), kUsage);
  return 2;
}

bool IsOption(const std::string& text, const char* name) { return text == name; }

}  // namespace

int main(int argc, char** argv) {
  std::string drive, systemRoot;
  SnapOptions options;
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    std::string value;
    bool valued = option == "--drive" || option == "--systemroot" || option.rfind("--drive=", 0) == 0 ||
                  option.rfind("--systemroot=", 0) == 0;
    if (valued) {
      size_t equals = option.find('=');
      if (equals != std::string::npos) {
        value = option.substr(equals + 1);
        option.resize(equals);
      } else if (i + 1 < argc) {
        value = argv[++i];
      } else {
        return UsageError(TW_MESSAGE("missing value for ", "缺少参数值：") + option);
      }
      (option == "--drive" ? drive : systemRoot) = value;
    } else if (IsOption(option, "--quiet")) {
      options.quiet = true;
    } else if (IsOption(option, "--force")) {
      options.force = true;
    } else if (IsOption(option, "--all")) {
      options.all = true;
    } else if (option.rfind("--", 0) == 0) {
      return UsageError(TW_MESSAGE("unknown option ", "未知选项 ") + option);
    } else {
      words.push_back(option);
    }
  }
  if (drive.empty()) return UsageError(TW_MESSAGE("--drive is required", "必须给出 --drive"));
  if (words.empty()) return UsageError(TW_MESSAGE("no command", "缺少命令"));
  std::string why;
  if (!SetInstallation(drive, systemRoot, &why)) return UsageError(why);

  const std::string& command = words[0];
  std::vector<std::string> args(words.begin() + 1, words.end());
  if (command == "list" && args.empty()) return ListSnapshots();
  if (command == "verify") return VerifySnapshots(args, options);
  if (command == "extract" && args.size() == 3) return ExtractSection(args[0], args[1], args[2], options);
  if (command == "prepare-restore" && args.size() == 1) return PrepareRestore(args[0], options);
  if (command == "prepare-undo" && args.empty()) return PrepareUndo();
  if (command == "restore-system" && args.size() == 1) return RestoreSystem(args[0], options);
  return UsageError(TW_MESSAGE("bad command: ", "命令错误：") + command);
}
