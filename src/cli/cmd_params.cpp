#include "cli/cmd_params.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "cli/cliutil.h"
#include "main/arith.h"
#include "main/preset.h"
#include "main/strtab.h"

namespace {

CLI::App* gParams = nullptr;

// The name the authoring form takes for a row.
std::string JsonName(int row) { return row == PN_BGPARAM ? "Background Param" : GetStr(ParamDef[row].Name); }

void PrintRow(int row) {
  const ParamDefType& d = ParamDef[row];
  std::string name = JsonName(row);
  std::printf("%s\n", name.c_str());
  std::string unit = GetStr(d.Unit);
  std::string lo = FormatNumber(d.Min, 0, 0, 0, false), hi = FormatNumber(d.Max, 0, 0, 0, false);
  if (row == PN_WAVEFORM)
    std::printf("    shape 0..100 %% (a curve), or an easy choice\n");
  else
    std::printf("    %s..%s%s%s, %d decimal%s\n", lo.c_str(), hi.c_str(), unit.empty() ? "" : " ", unit.c_str(),
                d.Digits, d.Digits == 1 ? "" : "s");
  if (d.Channels == 2)
    std::printf("    left and right: \"%s\" (or \"%s (Left)\") and \"%s (Right)\"\n", name.c_str(), name.c_str(),
                name.c_str());
  if (row == PN_BGPARAM) std::printf("    with a long background file: \"Background Interval\", 0..600 s\n");
  std::string easy;
  for (const EasyModeType& e : EasyMode)
    if (d.Easy != 0 && e.Type == d.Easy && HasStr(e.Text))
      easy += std::string(easy.empty() ? "" : ", ") + "\"" + GetStr(e.Text) + "\"";
  if (!easy.empty()) std::printf("    easy choices: %s\n", easy.c_str());
}

}  // namespace

void RegisterParamsCommand(CLI::App& app) {
  gParams = app.add_subcommand("params",
                               "list the parameters by the names JSON presets give them, with units, ranges, "
                               "channels and easy choices");
}

int RunParamsCommand() {
  if (!gParams || !*gParams) return -1;
  for (int pass = 0; pass < 2; ++pass) {
    std::printf(pass == 0 ? "Segment parameters (a segment's \"Param\": {\"<name>\": ...}):\n\n"
                          : "\nVoice parameters (each of a segment's \"Voice\": [{\"<name>\": ...}, ...]):\n\n");
    for (int row = 0; row < PDBK; ++row)
      if ((ParamDef[row].FirstPid >= NSPAR) == (pass == 1)) PrintRow(row);
  }
  std::printf(
      "\nEach takes {\"Curve\": [[percent, value], ...]}, {\"Value\": v}, {\"Easy\": \"<choice>\"} or "
      "{\"TrackSource\": \"<name>\"}.\n");
  return EXIT_OK;
}
