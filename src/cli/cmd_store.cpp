#include "cli/cmd_store.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

#include "cli/cliutil.h"
#include "cli/jsonfile.h"
#include "cli/playargs.h"
#include "file/fileformat.h"
#include "file/fileread.h"
#include "file/filewalk.h"
#include "file/store.h"
#include "main/preset.h"
#include "main/strtab.h"
#include "presetjson/presetjson.h"
#include "sbg/sbg.h"

namespace {

struct StoreArgs {
  CLI::App *Cmd = nullptr, *List = nullptr, *Show = nullptr, *Import = nullptr, *Export = nullptr, *Delete = nullptr,
           *Add = nullptr, *Compact = nullptr;
  std::string Dir, Name, File, Out, ShowName;
  int Index = -1;
  bool Json = false, Yes = false, No = false, All = false;
} gStore;

bool gUnanswered = false;  // a question found no one to answer it

// Questions are answered by --yes/--no, else on the terminal. Without a
// terminal the question is shown with how to answer it, and the command
// changes nothing.
StoreAnswer Ask(void*, int captionId, const std::string& text, bool withCancel) {
  if (gStore.Yes) return STORE_YES;
  if (gStore.No) return STORE_NO;
  std::string q = std::string(captionId ? GetStr(captionId) : "") + (captionId ? ": " : "") + text;
  if (!isatty(STDIN_FILENO)) {
    std::fprintf(stderr, "%s\nThere is no terminal to answer this on: give --yes or --no.\n", q.c_str());
    gUnanswered = true;
    return STORE_ABORT;
  }
  std::fprintf(stderr, "%s %s ", q.c_str(), withCancel ? "[y/n/c]" : "[y/n]");
  std::string line;
  if (!std::getline(std::cin, line) || line.empty()) return withCancel ? STORE_CANCEL : STORE_NO;
  char c = static_cast<char>(std::tolower(static_cast<unsigned char>(line[0])));
  if (c == 'y') return STORE_YES;
  if (c == 'c' && withCancel) return STORE_CANCEL;
  return STORE_NO;
}

void Inform(void*, int, const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); }

bool Confirm(void* ctx, const std::string& text) { return Ask(ctx, 0, text, false) == STORE_YES; }

void Progress(void*, int captionId, int position, int max) {
  if (isatty(STDERR_FILENO)) std::fprintf(stderr, "\r%s %d%%", GetStr(captionId), max ? position * 100 / max : 0);
  if (isatty(STDERR_FILENO) && position >= max) std::fprintf(stderr, "\n");
}

StoreUi CliUi() {
  StoreUi ui;
  ui.Ask = Ask;
  ui.Inform = Inform;
  ui.Confirm = Confirm;
  ui.Progress = Progress;
  return ui;
}

// Messages of the store: 1302 carries the limit, the others the file name.
int Report(int rc) {
  if (gUnanswered) return EXIT_USAGE;  // the question said how to answer it
  if (rc == 0) return EXIT_OK;
  if (rc == -1) return EXIT_REFUSED;  // the user said No
  if (rc == 1302) return ReportError(FormatMsg(rc, {MAXPROGRAMS}));
  return ReportFileMessage(rc, StoreMessagePath());
}

int Named(const std::string& name, int* index) {
  *index = FindPresetByName(name);
  if (*index < 0) return ReportError("The store has no preset named '" + Shown(name) + "'.");
  return EXIT_OK;
}

// Every preset of a JSON or preset file, saved under its name as one change.
int AddFile(const std::string& file, StoreUi* ui) {
  std::vector<Preset> presets;
  int rc = 0;
  if (LooksLikeJson(file)) {
    std::string error;
    if (!ReadJsonPresetFile(file, presets, &error)) rc = ReportError(error);
  } else {
    ByteDev dev;
    int m = OpenPresetFile(dev, file.c_str(), DEV_OPEN_READ, -1, nullptr);
    if (!m) {
      m = ReadPresetFile(
          dev,
          [](void* ctx, int, const Preset& p) {
            auto* list = static_cast<std::vector<Preset>*>(ctx);
            list->emplace_back();
            CopyPreset(list->back(), p);
          },
          &presets);
      DevClose(dev);
    }
    if (m) rc = ReportFileMessage(m, file);
  }
  if (rc == 0) {
    WarnAboutBackgrounds(presets);
    std::vector<int> indexes(presets.size(), -1);
    rc = Report(AddPresets(presets.data(), static_cast<int>(presets.size()), ui, indexes.data()));
  }
  for (Preset& p : presets) FreePreset(p);
  return rc;
}

}  // namespace

int OpenStoreForCli(const std::string& dir) {
  SetStoreDir(dir.empty() ? DefaultStoreDir() : dir);
  StoreUi ui = CliUi();
  return LoadAllPresets(&ui);
}

int ListStore(const std::string& dir, bool all) {
  if (int rc = OpenStoreForCli(dir)) return Report(rc);
  // The whole fixed parts, for the minutes and segments; the index is the
  // store's, checked by name in case another process changed the file.
  std::vector<PresetFixed> list;
  if (ReadRecordSummaries(StorePath().c_str(), &list) || static_cast<int>(list.size()) != NumPrograms) list.clear();
  for (int i = 0; i < static_cast<int>(list.size()); ++i)
    if (Program[i].Deleted != list[static_cast<size_t>(i)].Deleted ||
        (!Program[i].Deleted && std::strcmp(Program[i].Name, list[static_cast<size_t>(i)].Name) != 0))
      list.clear();
  if (list.empty()) list.assign(Program, Program + NumPrograms);
  PrintListing(list, all);
  return EXIT_OK;
}

int ShowStorePreset(const std::string& dir, int index, const std::string& name, bool json) {
  if (int rc = OpenStoreForCli(dir)) return Report(rc);
  if (index < 0) {
    if (int rc = Named(name, &index)) return rc;
  } else if (index >= NumPrograms || Program[index].Deleted) {
    return ReportError("The store has no preset at index " + std::to_string(index) + ".");
  }
  StoreUi ui = CliUi();
  if (int rc = EnsureLoaded(index, &ui)) return Report(rc);
  if (json)
    PrintPresetJson(Program[index]);
  else
    PrintPresetText(Program[index]);
  return EXIT_OK;
}

void RegisterStoreCommand(CLI::App& app) {
  StoreArgs& a = gStore;
  a.Cmd = app.add_subcommand("store", "work on the preset store");
  a.Cmd->add_option("--dir", a.Dir, "folder of the store (default: the program's store)");
  auto* yes = a.Cmd->add_flag("--yes", a.Yes, "answer every question with Yes");
  a.Cmd->add_flag("--no", a.No, "answer every question with No")->excludes(yes);
  a.Cmd->require_subcommand(1);
  // --dir, --yes and --no are the store command's, but may stand anywhere on
  // the line: `store delete NAME --yes`.
  a.Cmd->fallthrough();
  a.List = a.Cmd->add_subcommand(
      "list", "one line per preset: index, flags (D deleted, B built-in, S schedule), minutes, segments, name");
  a.List->add_flag("--all", a.All, "also list the deleted records");
  a.Show = a.Cmd->add_subcommand("show", "print a preset of the store (NAME, --name NAME or --index N)");
  auto* showName = a.Show->add_option("NAME", a.Name);
  auto* byName = a.Show->add_option("--name", a.ShowName, "preset name");
  auto* byIndex = WholeNumber(a.Show->add_option("--index", a.Index, "record index (as `list` shows it)"), 0, INT_MAX);
  showName->excludes(byName)->excludes(byIndex);
  byName->excludes(byIndex);
  a.Show->add_flag("--json", a.Json, "print the preset as JSON");
  a.Import = a.Cmd->add_subcommand("import", "import the presets of a preset file, or a .sbg session");
  a.Import->add_option("FILE", a.File, "preset file or .sbg session, - for standard input")->required();
  a.Export = a.Cmd->add_subcommand("export", "write one preset into a file of its own");
  a.Export->add_option("NAME", a.Name)->required();
  a.Export->add_option("OUT", a.Out, "file to write, - for standard output")->required();
  a.Delete = a.Cmd->add_subcommand("delete", "delete a preset");
  a.Delete->add_option("NAME", a.Name)->required();
  a.Add = a.Cmd->add_subcommand("add", "save presets from a JSON or preset file under their names");
  a.Add->add_option("FILE", a.File, "JSON or preset file, - for standard input")->required();
  a.Compact = a.Cmd->add_subcommand("compact", "remove deleted records from the store file");
}

int RunStoreCommand() {
  StoreArgs& a = gStore;
  if (!*a.Cmd) return -1;
  if (*a.List) return ListStore(a.Dir, a.All);
  if (*a.Show) {
    if (a.Name.empty() && a.ShowName.empty() && a.Index < 0) {
      std::fprintf(stderr, "Give NAME, --name NAME or --index N.\n");
      return EXIT_USAGE;
    }
    return ShowStorePreset(a.Dir, a.Index, a.Name.empty() ? a.ShowName : a.Name, a.Json);
  }
  if (int rc = OpenStoreForCli(a.Dir)) return Report(rc);
  StoreUi ui = CliUi();
  int index = -1;
  if (*a.Import) {
    if (IsSequenceFileName(a.File)) {
      // A session is one preset, saved under its name with the store's rules.
      Preset p{};
      if (int rc = ImportSessionForCli(a.File, p)) return rc;
      int rc = AddPresets(&p, 1, &ui, nullptr);
      FreePreset(p);
      if (rc == 0) std::fprintf(stderr, "%s\n", GetStr(76));
      return Report(rc);
    }
    int first = -1;
    return Report(ImportPresets(a.File, &ui, &first));
  }
  if (*a.Export) {
    if (int rc = Named(a.Name, &index)) return rc;
    int rc = 0;
    if (a.Out == "-") {
      // Standard output: the export file's bytes, for a pipe.
      if (!(rc = EnsureLoaded(index, &ui))) rc = WriteExportFile(a.Out, &Program[index], 1);
      if (rc) return rc == 1297 || rc == 1308 ? ReportFileMessage(rc, a.Out) : Report(rc);
      return EXIT_OK;
    }
    rc = ExportPreset(index, a.Out);
    if (rc == 0) std::fprintf(stderr, "%s\n", GetStr(83));
    return Report(rc);
  }
  if (*a.Delete) {
    if (int rc = Named(a.Name, &index)) return rc;
    return Report(DeletePreset(index, &ui));
  }
  if (*a.Add) return AddFile(a.File, &ui);
  if (*a.Compact) {
    return Report(CompactStore());
  }
  return EXIT_USAGE;
}
