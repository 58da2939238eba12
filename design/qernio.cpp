// The design-data file: SaveDataFile and ReadDataFile with their name rules, the fixed line order,
// the safe replace on saving and the all-or-nothing read.
#include "design/qernio.h"

#include <unistd.h>

#include <cstdio>

#include "design/qerncalc.h"
#include "framework/dialogs.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"

namespace qern {

namespace {

// Reads an integer line into a 16-bit code.
void ReadCodeLine(std::uint16_t& w) {
  std::int32_t n = 0;
  ReadIntegerLine(n);
  w = static_cast<std::uint16_t>(n);
}

void WritePart(const DesignFileContent& c, int k) {
  const DesignRecord& r = c.Record;
  WriteStringLine(OneLineValue(c.Name[k]));
  WriteStringLine(OneLineValue(c.Number[k]));
  WriteStringLine(OneLineValue(c.Name2[k]));
  WriteExtendedLine(r.ToolAddendumFactor[k]);
  WriteExtendedLine(r.ToolDedendumFactor[k]);
  WriteExtendedLine(r.ToolTipRadiusFactor[k]);
  WriteIntegerLine(r.XInputMode[k]);
  WriteExtendedLine(r.ProfileShift[k]);
  WriteExtendedLine(r.PinDiameter[k]);
  WriteExtendedLine(r.PinDimension[k]);
  WriteExtendedLine(r.TipDiameterInput[k]);
  WriteExtendedLine(r.RootDiameterInput[k]);
}

void ReadPart(DesignFileContent& c, int k) {
  DesignRecord& r = c.Record;
  ReadLine(c.Name[k]);
  ReadLine(c.Number[k]);
  ReadLine(c.Name2[k]);
  ReadExtendedLine(r.ToolAddendumFactor[k]);
  ReadExtendedLine(r.ToolDedendumFactor[k]);
  ReadExtendedLine(r.ToolTipRadiusFactor[k]);
  ReadCodeLine(r.XInputMode[k]);
  ReadExtendedLine(r.ProfileShift[k]);
  ReadExtendedLine(r.PinDiameter[k]);
  ReadExtendedLine(r.PinDimension[k]);
  ReadExtendedLine(r.TipDiameterInput[k]);
  ReadExtendedLine(r.RootDiameterInput[k]);
}

bool IsDashLine(const std::string& s) { return s.size() >= 3 && s.compare(0, 3, "---") == 0; }

// A temporary name beside the target, so that the final rename stays on one file system.
std::string TemporaryNameFor(const std::string& fileName) {
  return ExtractFolder(fileName) + "." + FileNamePart(fileName) + "." +
         std::to_string(static_cast<long>(::getpid())) + ".tmp";
}

}  // namespace

DesignFileContent CurrentDesignContent() {
  DesignFileContent c;
  c.Record = Design;
  c.Name = PartDrawingName;
  c.Number = PartDrawingNumber;
  c.Name2 = PartDrawingName2;
  c.CommentLines = Session.CommentLines;
  c.Info = DrawingInfo;
  c.Links = DocumentLinks;
  c.LinkCount = DocumentLinkCount;
  c.TitleBlockKind = Settings.TitleBlockKind;
  return c;
}

void ApplyDesignContent(const DesignFileContent& c) {
  Design = c.Record;
  PartDrawingName = c.Name;
  PartDrawingNumber = c.Number;
  PartDrawingName2 = c.Name2;
  Session.CommentLines = c.CommentLines;
  DrawingInfo = c.Info;
  DocumentLinks = c.Links;
  DocumentLinkCount = c.LinkCount;
}

std::string DesignFileName(const std::string& name) {
  if (FileNamePart(name).find('.') != std::string::npos) return name;
  if (name.find('/') != std::string::npos) return name + "." + Ident.DataExtension;
  return AddBackslash(Session.CurrentFileFolder) + name + "." + Ident.DataExtension;
}

void WriteDesignContent(const DesignFileContent& c) {
  // The head carries the comment lines of the content, each on one line.
  const std::array<std::string, 3> sessionComments = Session.CommentLines;
  for (int i = 0; i < 3; ++i) Session.CommentLines[i] = OneLineValue(c.CommentLines[i]);
  WriteFileHeader();
  Session.CommentLines = sessionComments;

  const DesignRecord& r = c.Record;
  WriteExtendedLine(r.PressureAngleDeg);
  WriteExtendedLine(r.NormalModule);
  WriteIntegerLine(r.ToothCount[1]);
  WriteIntegerLine(r.PitchInputMode);
  WriteIntegerLine(r.MajorDiameterInput);
  WriteIntegerLine(r.MinorDiameterInput);
  WritePart(c, 1);
  WritePart(c, 2);
  WriteExtendedLine(r.ToothThicknessInput[1]);
  WriteExtendedLine(r.SpaceWidthInput[2]);
  WriteBoolLine(r.ClearancesAsFactors);
  WriteExtendedLine(r.MajorClearance);
  WriteExtendedLine(r.MinorClearance);
  WriteExtendedLine(r.FlankClearance);
  WriteIntegerLine(r.FitMode);
  WriteExtendedLine(r.DiametralPitch);
  WriteChangeLogSection(c.Info);
  WriteDocumentsSection(c.Links);
  WriteExtendedLine(r.MajorClearanceFactor);
  WriteExtendedLine(r.MinorClearanceFactor);
  WriteExtendedLine(r.FlankClearanceFactor);
  WriteIsoHeaderSection(c.Info, c.TitleBlockKind);
  WriteIntegerLine(r.AngleCode);
  WriteExtendedLine(r.FlankAngleExternal);
  WriteExtendedLine(r.FlankAngleInternal);
}

bool ReadDesignContent(DesignFileContent& c) {
  std::string line;
  for (int i = 1; i <= 5; ++i) {
    ReadLine(line);
    if (Flags.AbortFlag || ((i == 1 || i == 5) && !IsDashLine(line))) return false;
  }
  for (std::string& comment : c.CommentLines) ReadLine(comment);

  DesignRecord& r = c.Record;
  ReadExtendedLine(r.PressureAngleDeg);
  ReadExtendedLine(r.NormalModule);
  ReadIntegerLine(r.ToothCount[1]);
  ReadCodeLine(r.PitchInputMode);
  ReadCodeLine(r.MajorDiameterInput);
  ReadCodeLine(r.MinorDiameterInput);
  ReadPart(c, 1);
  ReadPart(c, 2);
  ReadExtendedLine(r.ToothThicknessInput[1]);
  ReadExtendedLine(r.SpaceWidthInput[2]);
  ReadBoolTrue(r.ClearancesAsFactors);
  ReadExtendedLine(r.MajorClearance);
  ReadExtendedLine(r.MinorClearance);
  ReadExtendedLine(r.FlankClearance);
  ReadIntegerLine(r.FitMode);
  ReadExtendedLine(r.DiametralPitch);
  if (Flags.AbortFlag) return false;
  if (!ReadChangeLogSection(c.Info)) return false;
  if (!ReadDocumentsSection(c.Links, c.LinkCount)) return false;
  ReadExtendedLine(r.MajorClearanceFactor);
  ReadExtendedLine(r.MinorClearanceFactor);
  ReadExtendedLine(r.FlankClearanceFactor);
  if (Flags.AbortFlag) return false;
  if (!ReadIsoHeaderSection(c.Info, c.TitleBlockKind)) return false;
  ReadCodeLine(r.AngleCode);
  ReadExtendedLine(r.FlankAngleExternal);
  ReadExtendedLine(r.FlankAngleInternal);
  if (Flags.AbortFlag) return false;
  r.ToothCount[2] = -r.ToothCount[1];
  return true;
}

bool WriteDesignFile(const std::string& fileName, const DesignFileContent& content) {
  const std::string temp = TemporaryNameFor(fileName);
  Flags.AbortFlag = false;
  DataFile.Assign(temp);
  if (!DataFile.Rewrite()) {
    Flags.AbortFlag = true;
    return false;
  }
  WriteDesignContent(content);
  const bool written = !Flags.AbortFlag;
  const bool closed = DataFile.Close();
  if (!written || !closed || std::rename(temp.c_str(), fileName.c_str()) != 0) {
    std::remove(temp.c_str());
    Flags.AbortFlag = true;
    return false;
  }
  return true;
}

bool ReadDesignFile(const std::string& fileName, DesignFileContent& content) {
  Flags.AbortFlag = false;
  DataFile.Assign(fileName);
  if (!DataFile.Reset()) {
    Flags.AbortFlag = true;
    return false;
  }
  const bool ok = ReadDesignContent(content);
  DataFile.Close();
  Flags.AbortFlag = !ok;
  return ok;
}

void SaveDataFile(const std::string& name) {
  Flags.AbortFlag = false;
  const std::string oldName = Session.CurrentFileName, oldFolder = Session.CurrentFileFolder;
  std::string fullName;
  SaveAsDialog(TrimBlanks(name).empty() ? std::string() : DesignFileName(name), fullName);
  if (Flags.AbortFlag) return;
  if (!WriteDesignFile(fullName, CurrentDesignContent())) {
    const int io = DataFile.IoResult();
    ErrorMessage("Datei " + fullName + " nicht gespeichert: " +
                 WriteErrorText(io == IoOk ? IoWriteError : io) + " !");
    // The design still belongs to the file it came from.
    Session.CurrentFileName = oldName;
    Session.CurrentFileFolder = oldFolder;
    Flags.AbortFlag = true;
  }
  SetArrowCursor();
}

void ReadDataFile(const std::string& name) {
  Flags.AbortFlag = false;
  std::string fullName;
  std::string chosenFolder, chosenName;
  if (TrimBlanks(name).empty()) {
    chosenFolder = Session.CurrentFileFolder;
    SelectFileDialog(0, chosenFolder, "*." + Ident.DataExtension, chosenName);
    if (Flags.AbortFlag || chosenName.empty()) {
      Flags.AbortFlag = true;
      return;
    }
    chosenFolder = AddBackslash(chosenFolder);
    fullName = chosenFolder + chosenName;
  } else {
    fullName = DesignFileName(name);
  }

  DesignFileContent content = CurrentDesignContent();
  if (!FileCanOpen(fullName)) {
    CheckFileAccess(fullName);  // the "not found" message
    Flags.AbortFlag = true;
    SetArrowCursor();
    return;
  }
  if (!ReadDesignFile(fullName, content)) {
    ErrorMessage("Datei " + fullName +
                 " ist unvollständig oder fehlerhaft; die aktuellen Daten bleiben unverändert !");
    Flags.AbortFlag = true;
    SetArrowCursor();
    return;
  }
  ApplyDesignContent(content);
  if (!chosenName.empty()) {
    Session.CurrentFileFolder = chosenFolder;
    Session.CurrentFileName = FileNameWithoutExt(chosenName);
  }
  CalculateSerration();
  Flags.AbortFlag = false;
  SetArrowCursor();
}

}  // namespace qern
