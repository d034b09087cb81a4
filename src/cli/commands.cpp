// The subcommands of sonavel-cli that work on preset files.
#include "cli/commands.h"

#include <CLI/CLI.hpp>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

#include "cli/cliutil.h"
#include "cli/cmd_backgrounds.h"
#include "cli/cmd_convert.h"
#include "cli/cmd_lightcheck.h"
#include "cli/cmd_params.h"
#include "cli/cmd_play.h"
#include "cli/cmd_store.h"
#include "cli/jsonfile.h"
#include "cli/playargs.h"
#include "engine/startup.h"
#include "file/fileformat.h"
#include "file/filewalk.h"
#include "file/stdinput.h"
#include "file/store.h"
#include "main/arith.h"
#include "main/preset.h"
#include "main/startup.h"
#include "main/strtab.h"
#include "main/text.h"
#include "presetjson/presetjson.h"
#include "sbg/sbg.h"

namespace {

struct Selection {
  int Index = -1;
  std::string Name;
};

void AddSelection(CLI::App* cmd, Selection& sel) {
  auto* idx = WholeNumber(cmd->add_option("--index", sel.Index, "record index (as `list` shows it)"), 0, INT_MAX);
  auto* name = cmd->add_option("--name", sel.Name, "preset name");
  idx->excludes(name);
  name->excludes(idx);
}

int RequireSelection(const Selection& sel) {
  if (sel.Index < 0 && sel.Name.empty()) {
    std::fprintf(stderr, "Give --index N or --name NAME.\n");
    return EXIT_USAGE;
  }
  return EXIT_OK;
}

std::string Flags(const PresetFixed& r) {
  std::string f;
  f += r.Deleted ? 'D' : '-';
  f += r.BuiltIn ? 'B' : '-';
  f += r.IsSchedule ? 'S' : '-';
  return f;
}

int CmdList(const std::string& path, bool all) {
  if (path.empty()) return ListStore("", all);  // the user's own store
  std::vector<PresetFixed> list;
  if (int rc = ReadRecordSummaries(path.c_str(), &list)) return ReportFileMessage(rc, path);
  PrintListing(list, all);
  return EXIT_OK;
}

// Loads the selected preset or reports why not.
int LoadSelected(const std::string& path, const Selection& sel, Preset& p) {
  bool notFound = false;
  if (int rc = LoadPresetAt(path, sel.Index, sel.Name, p, &notFound)) return ReportFileMessage(rc, path);
  if (notFound) {
    if (sel.Index >= 0)
      return ReportError("The file '" + Shown(path) + "' has no preset at index " + std::to_string(sel.Index) + ".");
    return ReportError("The file '" + Shown(path) + "' has no preset named '" + Shown(sel.Name) + "'.");
  }
  return EXIT_OK;
}

std::string ParamLabel(int pid) {
  int row = ParamNumOfPid(pid);
  std::string name = GetStr(ParamDef[row].Name);
  if (ParamDef[row].Channels == 2) {
    int first = PARAMID(pid >= NSPAR ? (pid - NSPAR) / NVPAR : 0, row);
    name += pid == first ? " (left)" : " (right)";
  }
  return name;
}

std::string NodeValueText(int row, int32_t v) {
  const ParamDefType& d = ParamDef[row];
  if (row == PN_WAVEFORM) {
    std::string lo = FormatNumber(v & 0xFFFF, 1, 1, 0, false);
    std::string hi = FormatNumber((v >> 16) & 0xFFFF, 1, 1, 0, false);
    return lo + " (Z " + hi + ")";
  }
  return std::string(FormatNumber(v, d.Digits, d.Digits, 0, true)) + GetStr(d.Unit);
}

}  // namespace

void PrintListing(const std::vector<PresetFixed>& list, bool all) {
  for (size_t i = 0; i < list.size(); ++i) {
    const PresetFixed& r = list[i];
    if (r.Deleted) {
      if (all) std::printf("%zu\t%s\t\t\t\n", i, Flags(r).c_str());
      continue;
    }
    std::printf("%zu\t%s\t%s\t%d\t%s\n", i, Flags(r).c_str(), FormatNumber(PresetLength(r), 2, 2, 2, false),
                r.data.NumSegments, TextForLine(r.Name).c_str());
  }
}

void PrintPresetJson(const Preset& p) {
  // The text fields are UTF-8 already; anything else is replaced, never
  // thrown.
  std::cout << PresetToJson(p).dump(1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

void PrintPresetText(const Preset& p) {
  std::printf("Name: %s\n", TextForLine(p.Name).c_str());
  std::printf("Built-in: %s   Schedule: %s\n", p.BuiltIn ? "yes" : "no", p.IsSchedule ? "yes" : "no");
  std::printf("Length: %s min\n", FormatNumber(PresetLength(p), 2, 2, 0, true));
  if (p.data.Background == AMBIX_NONE)
    std::printf("Background: none\n");
  else if (p.data.Background < AMBIX_NONE)
    std::printf("Background: %d of %s\n", p.data.Background, TextForLine(p.data.BackgroundFile).c_str());
  else
    std::printf("Background: %s file %s\n", p.data.Background == AMBIX_LONG ? "long" : "looped",
                TextForLine(p.data.BackgroundFile).c_str());
  std::printf("After the last segment: %s\n", p.data.ContinuePlaying ? "continue" : "stop");
  std::printf("Colors:");
  // Stored blue-green-red; shown as a person names the colour (#RRGGBB).
  for (int i = 0; i < p.data.VisOpt.NumColors && i < MAXCOLORS; ++i)
    std::printf(" %s", ColorRgbText(p.data.VisOpt.Colors[i]).c_str());
  std::printf("\n");
  if (p.Description && p.Description[0])
    std::printf("Description:\n%s\n", TextForBlock({p.Description, strnlen(p.Description, DESCLEN)}).c_str());
  for (int s = 0; s < p.data.NumSegments; ++s) {
    const Segment& seg = p.data.Segment[s];
    std::printf("\nSegment %s: %s min x %d, %d voice(s)%s\n", TextForLine({seg.Name, strnlen(seg.Name, 3)}).c_str(),
                FormatNumber(seg.Length, 2, 2, 0, true), seg.Repeat, seg.NumVoices,
                seg.NoiseInsideHead ? ", noise inside the head" : "");
    const Param* pp = SegParams(p, s);
    for (int pid = 0; pp && pid < SegParamCount(seg); ++pid) {
      const Param& q = pp[pid];
      int row = ParamNumOfPid(pid);
      if (pid == NSPAR || (pid > NSPAR && (pid - NSPAR) % NVPAR == 0))
        std::printf("  Voice %d\n", (pid - NSPAR) / NVPAR + 1);
      std::printf("    %3d %-36s", pid, ParamLabel(pid).c_str());
      if (q.Tracking)
        std::printf(" tracks %d, slope %s, intercept %s:", q.TrackSource, FormatNumber(q.Slope, 3, 3, 0, false),
                    FormatNumber(q.Intercept, 3, 3, 0, false));
      int idx = FindEasyEntry(q.EasySel);
      if (q.EasySel && idx >= 0 && !q.Tracking) std::printf(" \"%s\":", GetStr(EasyMode[idx].Text));
      for (int i = 0; i < q.NumNodes && i < MAXNODES; ++i)
        std::printf(" %s@%s", NodeValueText(row, q.Node[i].Value).c_str(),
                    FormatNumber(q.Node[i].SweepTime, 2, 2, 0, false));
      std::printf("\n");
    }
  }
}

namespace {

int CmdShow(const std::string& path, const Selection& sel, bool json) {
  if (int rc = RequireSelection(sel)) return rc;
  if (path.empty()) return ShowStorePreset("", sel.Index, sel.Name, json);  // the user's own store
  Preset p{};
  if (int rc = LoadSelected(path, sel, p)) return rc;
  if (json)
    PrintPresetJson(p);
  else
    PrintPresetText(p);
  FreePreset(p);
  return EXIT_OK;
}

int CmdBuild(const std::vector<std::string>& files, const std::string& outPath) {
  std::vector<Preset> presets;
  std::string error;
  int rc = EXIT_OK;
  bool read = true;
  for (const std::string& f : files)
    if (read) read = ReadJsonPresetFile(f, presets, &error);
  if (read) WarnAboutBackgrounds(presets);
  if (!read) {
    rc = ReportError(error);
  } else if (int m = WriteExportFile(outPath, presets.data(), static_cast<int>(presets.size()))) {
    rc = ReportFileMessage(m, outPath);
  }
  for (Preset& p : presets) FreePreset(p);
  return rc;
}

int CmdNew(const std::string& outPath) {
  Preset p{};
  NewDefaultPreset(p);
  int m = WriteExportFile(outPath, &p, 1);
  FreePreset(p);
  return m ? ReportFileMessage(m, outPath) : EXIT_OK;
}

// A session file in, a preset file out.
int CmdConvertSession(const std::string& in, const std::string& out) {
  Preset p{};
  if (int rc = ImportSessionForCli(in, p)) return rc;
  int m = WriteExportFile(out, &p, 1);
  FreePreset(p);
  if (m) return ReportFileMessage(m, out);
  if (out != "-")
    std::fprintf(stderr, "The session '%s' was converted to the preset file '%s'.\n", in.c_str(), out.c_str());
  return EXIT_OK;
}

// A preset of a preset file out as a session.
int CmdWriteSession(const std::string& in, const Selection& sel, const std::string& out) {
  if (int rc = RequireSelection(sel)) return rc;
  Preset p{};
  if (int rc = LoadSelected(in, sel, p)) return rc;
  int m = ExportSessionFile(p, out);
  FreePreset(p);
  if (m) return ReportFileMessage(m, out);
  if (out != "-") std::fprintf(stderr, "The preset was written as the session '%s'.\n", out.c_str());
  return EXIT_OK;
}

// A file already in the current format needs no conversion; say so rather
// than report it as written by a newer version.
int CmdConvertChecked(const std::string& in, const Selection& sel, const std::string& out) {
  if (IsSequenceFileName(in)) return CmdConvertSession(in, out);
  if (IsSequenceFileName(out)) return CmdWriteSession(in, sel, out);
  ByteDev dev;
  FileHeader h;
  if (DevOpenFile(dev, in.c_str(), DEV_OPEN_READ)) {
    int rc = ReadFileHeader(dev, &h);
    DevClose(dev);
    if (rc == 0) return ReportError("The file '" + Shown(in) + "' is already in the current format.");
  }
  return CmdConvert(in, out);
}

}  // namespace

namespace {
int RunCli(int argc, char** argv);
}

int CliMain(int argc, char** argv) {
  if (int rc = EngineStartup()) return ReportError(GetStr(rc));
  // "-" names standard input wherever a command reads a file.
  AllowStandardInput(true);
  int rc;
  // Nothing thrown ends the tool with an abort: a failure is reported as the
  // tool's own, with the library's words.
  try {
    rc = RunCli(argc, argv);
  } catch (const std::bad_alloc&) {
    rc = ReportError(GetStr(1444));
  } catch (const std::exception& e) {
    rc = ReportError(std::string("Internal error: ") + e.what());
  }
  // A store opened by the command gives its presets back, so that a leak
  // checker sees only real leaks.
  EngineShutdown();
  return rc;
}

namespace {

int RunCli(int argc, char** argv) {
  CLI::App app{"Sonavel command-line tool"};
  app.set_version_flag("--version", std::string("sonavel-cli ") + PROGRAM_VERSION_TEXT, "print the version and exit");
  app.require_subcommand(1);
  std::string path, outPath;
  Selection sel;
  bool json = false;
  std::vector<std::string> inputs;

  bool all = false;
  auto* list = app.add_subcommand(
      "list", "one line per preset: index, flags (D deleted, B built-in, S schedule), minutes, segments, name");
  list->add_option("FILE", path,
                   "preset file, - for standard input (default: the preset store the desktop program uses)");
  list->add_flag("--all", all, "also list the deleted records");
  auto* show = app.add_subcommand("show", "print a preset");
  show->add_option("FILE", path,
                   "preset file, - for standard input (default: the preset store the desktop program uses)");
  AddSelection(show, sel);
  show->add_flag("--json", json, "print the preset as JSON");
  auto* build = app.add_subcommand("build", "write a preset file from JSON presets");
  build->add_option("JSON", inputs, "JSON files, each one preset or an array of presets; - for standard input")
      ->required();
  build->add_option("-o,--output", outPath, "preset file to write, - for standard output")->required();
  auto* make = app.add_subcommand("new", "write a file holding one default new preset");
  make->add_option("-o,--output", outPath, "preset file to write, - for standard output")->required();
  auto* strings = app.add_subcommand("strings", "print the string table, one id<TAB>text line per entry");
  std::string libdir, oldPath;
  auto* convert = app.add_subcommand("convert",
                                     "convert a preset file of the earlier format or a .sbg session to a preset file, "
                                     "or a preset to a .sbg session (-o SESSION.sbg with --index or --name)");
  convert
      ->add_option("OLD", oldPath, "file of the earlier format, a .sbg session, or a preset file; - for standard input")
      ->required();
  convert->add_option("-o,--output", outPath, "file to write (.sbg: a session), - for standard output")->required();
  AddSelection(convert, sel);
  auto* backgrounds = app.add_subcommand("backgrounds", "list the background sounds of the libraries");
  backgrounds->add_option("--libdir", libdir, "folder of the background libraries (default: the program's folder)");
  RegisterEngineCommands(app);
  RegisterStoreCommand(app);
  RegisterPlayCommand(app);
  RegisterParamsCommand(app);
  RegisterLightCheckCommand(app);

  // The library's message echoes the argument it stumbled on: escaped, as
  // every message that echoes one is.
  app.failure_message([](const CLI::App*, const CLI::Error& e) {
    return Shown(e.what()) + "\nRun with --help for more information.\n";
  });
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? EXIT_OK : EXIT_USAGE;
  }
  if (*list) return CmdList(path, all);
  if (*show) return CmdShow(path, sel, json);
  if (*build) return CmdBuild(inputs, outPath);
  if (*make) return CmdNew(outPath);
  if (*strings) {
    PrintStringTable(stdout);
    return EXIT_OK;
  }
  if (*backgrounds) return CmdBackgrounds(libdir);
  if (*convert) return CmdConvertChecked(oldPath, sel, outPath);
  if (int rc = RunStoreCommand(); rc >= 0) return rc;
  if (int rc = RunPlayCommand(); rc >= 0) return rc;
  if (int rc = RunParamsCommand(); rc >= 0) return rc;
  if (int rc = RunLightCheckCommand(); rc >= 0) return rc;
  return RunEngineCommands(app);
}

}  // namespace
