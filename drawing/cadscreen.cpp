// Screen back end: primitives into the display list through the drawing device, block definitions as
// DXF block files in a folder of this run's own, replayed at each insert.
#include "drawing/cadscreen.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <set>

#include "drawing/dxblock.h"
#include "drawing/dxfout.h"
#include "drawing/zorqcad.h"
#include "framework/dialogs.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utilmath.h"
#include "framework/utilstr.h"
#include "framework/zorqdraw.h"
#include "platform/workfile.h"

namespace qern {

namespace {
std::string g_blockFolder;           // this run's block folder, with a closing "/"
PrivateFolder g_blockFolderOwner;    // the folder itself (hidden, removed at a signal too)
std::set<std::string> g_blockFiles;  // block files written there

// The program's exit removes what a screen output left behind (declared after the two above, so it
// runs before they are destroyed).
struct ExitCleanup {
  ~ExitCleanup() { CadDeleteTempBlockFiles(); }
} g_exitCleanup;

// The device for drawings built before any window exists.
[[gnu::noinline]] TDrawDevice& FallbackScreen() {
  static TDrawDevice* fallback = new TDrawDevice();
  return *fallback;
}

TDrawDevice& Screen() { return DrawDevice ? *DrawDevice : FallbackScreen(); }

// A block name as part of a file name: no folder separators or control characters.
std::string FileNameOfBlock(const std::string& name) {
  std::string s = LowerStr(name);
  for (char& c : s)
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) c = '_';
  return "$" + s + ".dx$";
}

// A block file written whole with one call, only as a plain file (never into a folder, a pipe or a
// socket, nor waiting for a pipe's reader): it is read back from memory, so no stream is needed.
bool WriteBlockFile(const std::string& file, const std::string& text) {
  if (file.empty()) return false;
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  for (size_t done = 0; ok && done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  return ::close(fd) == 0 && ok;
}

// The folder when it exists and lies in the current folder for temporary files.
bool BlockFolderUsable() {
  return !g_blockFolder.empty() &&
         g_blockFolder.rfind(AddBackslash(Settings.TempFolder), 0) == 0 &&
         FolderExists(g_blockFolder);
}
}  // namespace

std::string CadBlockFolder() {
  if (BlockFolderUsable()) return g_blockFolder;
  CadDeleteTempBlockFiles();
  if (!g_blockFolderOwner.Create(Settings.TempFolder, "qern-blocks")) return "";
  g_blockFolder = AddBackslash(g_blockFolderOwner.Path());
  return g_blockFolder;
}

std::string CadTempBlockFile(const std::string& name) {
  if (!BlockFolderUsable()) return "";
  return g_blockFolder + FileNameOfBlock(name);
}

namespace {
// The block files written so far; the folder stays for the next screen output.
void DeleteBlockFiles() {
  for (const std::string& f : g_blockFiles) std::remove(f.c_str());
  g_blockFiles.clear();
}
}  // namespace

void CadDeleteTempBlockFiles() {
  DeleteBlockFiles();
  g_blockFolderOwner.Remove();
  g_blockFolder.clear();
}

// Record 9's angle: between 5 and 85 degrees corrected for the screen's aspect, so that a text runs
// along the lines it labels on a screen whose pixels are not square in world units.
long double CadScreenTextAngle(long double angle) {
  const long double r = std::round(angle);
  const int w = Settings.ScreenWidth, h = Settings.ScreenHeight;
  if (r < 5 || r > 85 || w <= 0 || h <= 0) return angle;
  const long double a = DegToRad(angle);
  return RadToDeg(std::atan2(h * std::sin(a), w * std::cos(a) * 0.75L));
}

void ScreenBackEnd::Open() {
  OpenBlockFileMemory();
  Screen().ClearDevice();
  Screen().SetWaitCursor();
}

void ScreenBackEnd::Close() {
  Screen().ClearViewPort();
  Screen().SetNormalCursor();
  blockName_.clear();
  DxfOut = {};
  DeleteBlockFiles();
  CloseBlockFileMemory();
}

void ScreenBackEnd::Abandon() {
  blockName_.clear();
  DxfOut = {};
  DeleteBlockFiles();
  CloseBlockFileMemory();
}

void ScreenBackEnd::BeginDrawing(long double xmin, long double ymin, long double xmax,
                                 long double ymax) {
  Screen().Header(0, xmin, ymin, xmax, ymax);
}

bool ScreenBackEnd::BeginBlock(const std::string& name) {
  if (CadBlockFolder().empty()) {
    AddError("Invalid temp directory");
    return false;
  }
  blockName_ = name;
  blockText_.clear();
  DxfOut = {&blockText_, false, true};
  StartBlockGroupRecording();
  return true;
}

ScreenBackEnd::~ScreenBackEnd() {
  if (DxfOut.Out == &blockText_) DxfOut = {};
}

void ScreenBackEnd::EndBlock() {
  if (!ToBlock()) return;
  DxfEndFile();
  DxfOut = {};
  const std::string file = CadTempBlockFile(blockName_);
  blockName_.clear();
  const bool ok = WriteBlockFile(file, blockText_);
  // A block defined again replaces what its inserts replay; the text just written needs no reading.
  if (ok)
    RememberBlockFile(file, blockText_);
  else
    ForgetBlockFile(file);
  blockText_.clear();
  if (!file.empty()) g_blockFiles.insert(file);
  if (!ok) {
    ErrorMessage(file + " konnte nicht geschrieben werden !");
    Flags.AbortFlag = true;
  }
}

void ScreenBackEnd::BeginEntities() {
  Screen().ClearViewPort();
  Screen().SetLineStyle(0);
}

void ScreenBackEnd::Replay(const std::string& file, long double x, long double y,
                           long double angle, long double scaleX, long double scaleY) {
  // The replay draws with the pens and text styles of the block; afterwards the drawing goes on
  // with its own, as it does after an insert in a CAD file.
  const int pen = CadState.CadPen;
  const CadOutputState saved = CadState;
  const TextStyleArgs style = style_;
  CadState.CadInsertX = CadState.CadInsertY = CadState.CadInsertAngle = 0;
  CadState.CadInsertScaleX = CadState.CadInsertScaleY = 1;
  CadState.CadInsertDepth = 0;
  ReplayBlockFileNamed(file, x, y, angle, scaleX, scaleY);
  CadState.CadTextHeight = saved.CadTextHeight;
  CadState.CadTextWidth = saved.CadTextWidth;
  CadState.CadTextRotation = saved.CadTextRotation;
  CadState.CadTextSlant = saved.CadTextSlant;
  CadState.CadInsertX = CadState.CadInsertY = CadState.CadInsertAngle = 0;
  CadState.CadInsertScaleX = CadState.CadInsertScaleY = 1;
  CadState.CadInsertDepth = 0;
  if (CadState.CadPen != pen) CadSetPen(pen);
  const TextStyleArgs& now = style_;
  if (style.set && (now.font != style.font || now.angle != style.angle ||
                    now.height != style.height || now.width != style.width))
    SetTextStyle(style.font, style.angle, style.height, style.width);
}

void ScreenBackEnd::Insert(const std::string& name, long double x, long double y,
                           long double angle, long double scaleX, long double scaleY) {
  if (ToBlock()) {
    DxfInsert(name, x, y, angle, scaleX, scaleY);
    return;
  }
  const std::string file = CadTempBlockFile(name);
  if (file.empty()) {
    AddError("Invalid temp directory");
    Flags.AbortFlag = true;
    return;
  }
  Replay(file, x, y, angle, scaleX, scaleY);
}

bool ScreenBackEnd::InsertUserBlock(const std::string& name, const std::string& file,
                                    long double x, long double y, long double angle,
                                    long double scaleX, long double scaleY) {
  if (ToBlock())
    DxfInsert(name, x, y, angle, scaleX, scaleY);
  else
    Replay(file, x, y, angle, scaleX, scaleY);
  return true;
}

void ScreenBackEnd::SetLayer(int n) {
  if (InBlock()) return;  // the block file carries the layer name
  TDrawDevice& d = Screen();
  if (n <= 5) {
    d.SetLineStyle(n == 1 ? 2 : n == 2 ? 3 : 0);
    d.SetDosColor(Settings.CadLayerColors[n]);
  } else {
    d.SetLineStyle(0);
    if (n >= 16) d.SetDosColor(Settings.ColorLayerColors[n - ProgramSettings::ColorLayerFirst]);
  }
  int width = 1;
  if (n >= 1 && n <= 5) {
    width = Settings.LayerLineWidths[n];
  } else if (n >= 16) {
    const int w = Settings.ColorLayerLineWidths[n - ProgramSettings::ColorLayerFirst];
    width = w >= 2 && w <= 50 ? w : 1;
  }
  d.Window().SetLineWidth(width);
}

void ScreenBackEnd::SetLineStyle(int style) {
  if (!CadState.CadInBlocks && !InBlock()) Screen().SetLineStyle(style);
}

void ScreenBackEnd::SetTextStyle(int font, long double angle, long double height,
                                 long double width) {
  style_ = {true, font, angle, height, width};
  if (InBlock()) return;
  Screen().SetTextStyle(font, CadScreenTextAngle(angle), height, width * 0.95L);
}

void ScreenBackEnd::Line(long double x1, long double y1, long double x2, long double y2) {
  if (ToBlock())
    DxfLine(x1, y1, x2, y2);
  else
    Screen().Line(x1, y1, x2, y2);
}

void ScreenBackEnd::Circle(long double x, long double y, long double r) {
  if (ToBlock())
    DxfCircle(x, y, r);
  else
    Screen().Circle(x, y, r);
}

void ScreenBackEnd::Arc(long double x, long double y, long double startAngle, long double endAngle,
                        long double r) {
  if (ToBlock())
    DxfArc(x, y, startAngle, endAngle, r);
  else
    Screen().Arc(x, y, startAngle, endAngle, r);
}

void ScreenBackEnd::Text(const std::string& s, long double x, long double y) {
  if (ToBlock())
    DxfText(s, x, y);
  else
    Screen().OutTextXY(s, x, y);
}

void ScreenBackEnd::Solid(long double x1, long double y1, long double x2, long double y2,
                          long double x3, long double y3, long double x4, long double y4) {
  if (ToBlock())
    DxfSolid(x1, y1, x2, y2, x3, y3, x4, y4);
  else
    Screen().Solid(x1, y1, x2, y2, x3, y3, x4, y4);
}

}  // namespace qern
