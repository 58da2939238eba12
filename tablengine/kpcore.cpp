// Table engine core: work-area table, settings with their start values, the error routine with its
// German message table, hook tables, heap routines, code-page conversion and regional defaults.
#include "tablengine/kpcore.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>

#include "platform/codepage.h"
#include "platform/dialogservice.h"

namespace qern::kelpie {

WorkArea* WorkAreaTable[MaxWorkAreas + 1] = {};
uint8_t CurrentArea = 1;

WorkArea* CurrentWorkArea() {
  if (CurrentArea < 1 || CurrentArea > MaxWorkAreas) return nullptr;
  return WorkAreaTable[CurrentArea];
}

char LogicalChars[2] = {'N', 'Y'};
char DecimalSeparator = '.';
char ThousandsSeparator = ',';
uint8_t DateStyle = 0;
bool CenturyFlag = false;
int CenturyPivot = 1956;
uint8_t DefaultVersion = 0x8B;
uint8_t ExtraVersion1 = 0;
uint8_t ExtraVersion2 = 0;
uint16_t MemoBlockSize = 512;
std::string TempFilePrefix = "KPP";
uint8_t KelpieSharedMode = 1;
int LockRetries = 0;
int LockWaitMs = 0;
std::function<bool()> LockRetryCallback;
uint64_t LockBaseOffset = 0x40000000;
bool ImmediateCommit = false;
uint8_t EndOfFileMarker = 0x1A;
uint32_t PeekCacheSize = 0;
bool KelpieAutoDispatch = true;
std::function<void()> KelpieErrorCallback;
bool KelpieRaiseErrors = true;
std::function<bool()> KelpieProcessMessages;

ParserHookSlots ParserHookTable;
bool ParserPresent = false;
IndexHookSlots IndexHookTable;
bool IndexPresent = false;
MemoHookSlots MemoHookTable;
bool MemoPresent = false;
void (*VirtualFileProc)(WorkArea& area) = nullptr;
uint32_t (*SkipProc)(int32_t step) = nullptr;

uint16_t KelpieErrorCode = 0;
uint16_t KelpieLastError = 0;
std::string KelpieErrorText;

namespace {

bool inDispatch = false;

const std::map<int, const char*>& MessageTable() {
  static const std::map<int, const char*> table = {
      {1, "Unzulässiger DOS-Funktionscode"},
      {2, "Datei nicht gefunden"},
      {3, "Pfad nicht gefunden"},
      {4, "Zu viele Dateien geöffnet"},
      {5, "Dateizugriff verweigert"},
      {6, "Unzulässiges Datei-Handle"},
      {8, "Zu wenig Speicher"},
      {9, "Unzulässige Speicherblock-Adresse"},
      {10, "Ungültige MS-DOS-Umgebung"},
      {11, "Unzulässiges Aufrufformat"},
      {12, "Unzulässiger Dateizugriff "},
      {13, "Datenfehler"},
      {14, "Ungültiges Peripheriegerät"},
      {15, "Unzulässige Laufwerknummer."},
      {16, "Entfernen des aktiven Verzeichnisses unzulässig"},
      {17, "Umbenennung auf ein anderes Laufwerk unzulässig"},
      {18, "Zu viele Dateien geöffnet"},
      {19, "Diskette schreibgeschützt"},
      {20, "Ungültiges Peripheriegerät"},
      {21, "Laufwerk nicht bereit"},
      {22, "Unbekannter Befehl"},
      {23, "Prüfsummenfehler"},
      {24, "Ungültiger Diskparameterblock"},
      {25, "Plattenpositionierungsfehler"},
      {26, "Unbekanntes Medium"},
      {27, "Sektor nicht gefunden."},
      {28, "Kein Papier im Drucker"},
      {29, "Schreibfehler bei Zugriff auf Peripheriegerät"},
      {30, "Lesefehler bei Zugriff auf Peripheriegerät"},
      {31, "Allgemeiner Fehler"},
      {32, "Fehler beim gemeinsamen Dateizugriff"},
      {33, "Fehler bei Dateisperre"},
      {34, "Unzulässiger Diskettenwechsel"},
      {35, "Zugriff zum Dateikontrollblock unmöglich"},
      {36, "Überlauf des gemeinsamen Dateipuffers"},
      {50, "Netzwerkanfrage nicht unterstützt"},
      {51, "Gerät mit Fernzugriff nicht bereit"},
      {52, "Doppelte Namensgebung auf Netzwerk"},
      {53, "Netzwerkname nicht gefunden"},
      {54, "Netzwerk überlastet"},
      {55, "Gerät nicht mehr auf dem Netzwerk vorhanden"},
      {56, "NetBios Befehlsgrenze überschritten"},
      {57, "Gerätefehler im Netzwerk-Adapter"},
      {58, "Falsche Antwort vom Netzwerk"},
      {59, "Unerwarteter Netzwerkfehler"},
      {60, "Konflikt beim Adapter mit Fernzugriff"},
      {100, "Disketten-/Festplatten-Lesefehler"},
      {101, "Disketten-/Festplatten-Schreibfehler"},
      {102, "Datei nicht zugewiesen (assign)"},
      {103, "Datei nicht geöffnet"},
      {104, "Datei zur Eingabe nicht geöffnet"},
      {105, "Datei zur Ausgabe nicht geöffnet"},
      {106, "Unzulässiges Zahlenformat"},
      {150, "Diskette schreibgeschützt"},
      {151, "Ungültiges Peripheriegerät"},
      {152, "Laufwerk nicht bereit"},
      {153, "Unbekannter Befehl"},
      {154, "Prüfsummenfehler"},
      {155, "Ungültiger Diskparameterblock"},
      {156, "Plattenpositionierungsfehler"},
      {157, "Unbekanntes Medium"},
      {158, "Sektor nicht gefunden."},
      {159, "Kein Papier im Drucker"},
      {160, "Schreibfehler bei Zugriff auf Peripheriegerät"},
      {161, "Lesefehler bei Zugriff auf Peripheriegerät"},
      {162, "Fehler beim gemeinsamen Dateizugriff"},
      {200, "Division durch Null"},
      {201, "Bereichsprüffehler"},
      {202, "Stapelüberlauf"},
      {203, "Heapüberlauf"},
      {204, "Unzulässige Zeigeroperation"},
      {205, "Fließkommaüberlauf"},
      {206, "Fließkommaunterlauf"},
      {207, "Fließkommafehler"},
      {208, "Overlay-Manager nicht installiert"},
      {209, "Overlay-Lesefehler"},
      {210, "Keine dBASE-Datei"},
      {211, "Unzulässige Feldangabe"},
      {212, "Anfrage außerhalb Bereich"},
      {213, "Unerwartetes Dateiende"},
      {214, "Datenbank wird bereits benutzt"},
      {215, "Keine Datenbank (bzw. kein Arbeitsbereich) geöffnet."},
      {216, "Allgemeine Schutzverletzung (GPF)"},
      {217, "Zu wenig Platz im Arbeitsspeicher"},
      {218, "Unzulässige Zeigervariable"},
      {219, "Datei-Handle nicht duplizierbar"},
      {220, "Unzulässiger Parameter"},
      {221, "Index-Datei nicht geöffnet"},
      {222, "Beschädigte Index-Datei"},
      {223, "Falsche Index-Version"},
      {224, "Zyklische Relation"},
      {225, "Exklusiver Zugriff erforderlich"},
      {226, "BROWSE nicht aktiv"},
      {227, "Speichermediumplatz unzureichend "},
      {228, "Anzahl Push/Pops nicht ausgeglichen "},
      {229, "dBASE IV Memo-Dateien nicht unterstützt"},
      {230, "Keine dBASE Variablen geladen"},
      {231, "Bildschirmbibliothek nicht gefunden"},
      {239, "Fehlender Doppelpunkt in der Zeitangabe"},
      {240, "Nicht-numerisches Zeichen in der Zeitangabe"},
      {241, "Ungültige Zeitangabe"},
      {242, "Negative Zeitangabe"},
      {243, "Negatives TimeDiff-Ergebnis"},
      {254, "Interner KELPIE-Fehler"},
      {266, "Unzulässige Größe des Datenpuffers"},
      {1003, "Unzulässige Memo-Adresse"},
      {1004, "Speichermedium voll          "},
      {1005, "Memo-Schreibfehler"},
      {1007, "Memo ist bereits geöffnet"},
      {1012, "Unzureichender Speichermediumplatz zum Packen der Memo-Datei"},
      {1017, "Memo-Datei nicht sperrbar"},
      {1018, "Memo-Datei nicht entsperrbar"},
      {1019, "Unzulässige Memo-Operation: Datei nicht geöffnet oder kein Memo-Feld in der Datei"},
      {1100, "Nicht anwendbar bei eingebundenen Listen"},
      {1101, "Virtuelle Datei-Verwaltungs-Unit nicht eingebunden"},
      {1102, "Fehler in der Verwaltung der virtuellen Datei"},
      {1103, "Unzulässige Ausführung "},
      {1200, "Datensatz nicht gesperrt"},
      {1201, "Datei nicht gesperrt"},
      {1202, "Semaphore-Dateifehler. Abhilfe: Am Netzwerk anmelden oder SHARE.EXE vor dem Start "
             "von Windows laden"},
      {1300, "File format not supported"},
  };
  return table;
}

// Byte maps between CP850 and Windows-1252, built once from the platform's code pages.
struct CodePageMaps {
  uint8_t OemToAnsi[256];
  uint8_t AnsiToOem[256];
  CodePageMaps() {
    for (int b = 0; b < 256; ++b) {
      const std::string one(1, static_cast<char>(b));
      const std::string a = Utf8ToCp1252(Cp850ToUtf8(one));
      const std::string o = Utf8ToCp850(Cp1252ToUtf8(one));
      OemToAnsi[b] = a.size() == 1 ? static_cast<uint8_t>(a[0]) : '?';
      AnsiToOem[b] = o.size() == 1 ? static_cast<uint8_t>(o[0]) : '?';
    }
  }
};

const CodePageMaps& Maps() {
  static const CodePageMaps maps;
  return maps;
}

}  // namespace

std::string ErrMessage(int code) {
  if (code >= 1203 && code <= 1299) return "Netzwerkfehler";
  const auto& t = MessageTable();
  const auto it = t.find(code);
  return it == t.end() ? "Unbekannter Fehler" : it->second;
}

std::string ErrText(int code) {
  if (code == 0) return "";
  return "Fehler Nr. " + std::to_string(code) + " (" + ErrMessage(code) + ")";
}

int ExitStatusForError(int code) {
  if (code >= 1 && code <= 255) return code;
  return 255;
}

void SetError(int code, const std::string& text) {
  KelpieErrorCode = static_cast<uint16_t>(code);
  KelpieLastError = static_cast<uint16_t>(code);
  KelpieErrorText = text;
  if (KelpieAutoDispatch) DispatchError();
}

void DispatchError() {
  if (inDispatch) return;
  KelpieLastError = KelpieErrorCode;
  if (KelpieErrorCallback) {
    KelpieErrorCallback();
    return;
  }
  const int code = KelpieErrorCode;
  if (code == 0) return;
  const std::string message = LastErrorText();
  if (KelpieRaiseErrors) throw EKelpieError(code, message);
  std::string shown = message;
  // The box shows at most 255 characters (counted as characters, not bytes).
  size_t chars = 0, i = 0;
  for (; i < shown.size(); ++i) {
    if ((static_cast<unsigned char>(shown[i]) & 0xC0) != 0x80) {
      if (chars == 255) break;
      ++chars;
    }
  }
  shown.resize(i);
  inDispatch = true;
  Dialogs().ShowMessage("Programm angehalten.", shown, MessageKind::Error);
  std::exit(ExitStatusForError(code));
}

bool SetErrorDispatch(bool on) {
  const bool previous = KelpieAutoDispatch;
  KelpieAutoDispatch = on;
  return previous;
}

std::string LastErrorText() {
  std::string s;
  if (KelpieLastError != 0) s = ErrText(KelpieLastError) + "\r\n" + KelpieErrorText;
  KelpieErrorText.clear();
  KelpieLastError = 0;
  return s;
}

void RaiseKelpieError(const std::string& message) { throw EKelpieError(KelpieErrorCode, message); }

void GetMem(void*& p, uint32_t size) {
  p = std::calloc(1, size == 0 ? 1 : size);
  if (!p) SetError(8, " [GetMem]");
}

void FreeMem(void*& p, uint32_t) {
  if (!p) {
    SetError(9, "Versuch Null-Zeiger freizugeben [FreeMem()]");
    return;
  }
  std::free(p);
  p = nullptr;
}

int32_t MemAvail() { return 2147483647; }

void GetSysDate(int& year, int& month, int& day, int& dayOfWeek) {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  year = tm.tm_year + 1900;
  month = tm.tm_mon + 1;
  day = tm.tm_mday;
  dayOfWeek = tm.tm_wday + 1;
}

void SplitFileTime(int64_t stamp, int& year, int& month, int& day, int& hour, int& minute, int& second) {
  const std::time_t t = static_cast<std::time_t>(stamp);
  std::tm tm{};
  localtime_r(&t, &tm);
  year = tm.tm_year + 1900;
  month = tm.tm_mon + 1;
  day = tm.tm_mday;
  hour = tm.tm_hour;
  minute = tm.tm_min;
  second = tm.tm_sec;
}

void AnsiToOemBuffer(uint8_t* p, size_t n) {
  const auto& m = Maps();
  for (size_t i = 0; i < n; ++i) p[i] = m.AnsiToOem[p[i]];
}

void OemToAnsiBuffer(uint8_t* p, size_t n) {
  const auto& m = Maps();
  for (size_t i = 0; i < n; ++i) p[i] = m.OemToAnsi[p[i]];
}

std::string AnsiToOemCopy(const std::string& src) {
  std::string d = src;
  AnsiToOemBuffer(reinterpret_cast<uint8_t*>(d.data()), d.size());
  return d;
}

std::string OemToAnsiCopy(const std::string& src) {
  std::string d = src;
  OemToAnsiBuffer(reinterpret_cast<uint8_t*>(d.data()), d.size());
  return d;
}

char DateSeparatorOf(int style) {
  switch (style) {
    case 0: case 2: return '/';
    case 3: return '-';
    default: return '.';
  }
}

void SetDateFormat(int style) { DateStyle = static_cast<uint8_t>(style >= 9 || style < 0 ? 0 : style); }

std::string ShortDateFormat() {
  const std::string year = CenturyFlag ? "yyyy" : "yy";
  switch (DateStyle) {
    case 0: return "MM/dd/" + year;
    case 1: return year + ".MM.dd";
    case 2: return "dd/MM/" + year;
    case 3: return "dd-MM-" + year;
    default: return "dd.MM." + year;
  }
}

void SetRegionalDefaults(uint16_t languageId) {
  const int primary = languageId & 0x3FF;
  const int sub = languageId >> 10;
  int style = 0;
  switch (primary) {
    case 0x07: style = 5; break;                    // German
    case 0x09: style = sub == 1 ? 0 : 2; break;     // English
    case 0x0A: style = 6; break;                    // Spanish
    case 0x0C: style = sub == 3 ? 7 : 4; break;     // French
    case 0x10: style = 3; break;                    // Italian
    case 0x19: style = 8; break;                    // Russian
    default: style = 0;
  }
  DateStyle = static_cast<uint8_t>(style);
  if (style >= 3 && style <= 6) {
    DecimalSeparator = ',';
    ThousandsSeparator = '.';
  } else if (style == 8) {
    DecimalSeparator = '.';
    ThousandsSeparator = ' ';
  } else {
    DecimalSeparator = '.';
    ThousandsSeparator = ',';
  }
}

uint16_t UserLanguageId() {
  const char* names[] = {"LC_ALL", "LC_TIME", "LANG"};
  std::string locale;
  for (const char* n : names) {
    const char* v = std::getenv(n);
    if (v && *v) {
      locale = v;
      break;
    }
  }
  if (locale.size() < 2) return 0x0409;
  const std::string lang = locale.substr(0, 2);
  const std::string country = locale.size() >= 5 && locale[2] == '_' ? locale.substr(3, 2) : "";
  if (lang == "de") return 0x0407;
  if (lang == "en") return country == "US" || country.empty() ? 0x0409 : 0x0809;
  if (lang == "es") return 0x040A;
  if (lang == "fr") return country == "CA" ? 0x0C0C : 0x040C;
  if (lang == "it") return 0x0410;
  if (lang == "ru") return 0x0419;
  return 0;
}

void KelpieInit() {
  for (auto*& a : WorkAreaTable) a = nullptr;
  IndexHookTable = {};
  ParserHookTable = {};
  MemoHookTable = {};
  IndexPresent = ParserPresent = MemoPresent = false;
  VirtualFileProc = nullptr;
  SkipProc = nullptr;
  LogicalChars[0] = 'N';
  LogicalChars[1] = 'Y';
  CenturyFlag = false;
  SetRegionalDefaults(UserLanguageId());
  CurrentArea = 1;
  int y, m, d, w;
  GetSysDate(y, m, d, w);
  CenturyPivot = y - 70;
  DefaultVersion = 0x8B;
  ExtraVersion1 = ExtraVersion2 = 0;
  MemoBlockSize = 512;
  TempFilePrefix = "KPP";
  KelpieSharedMode = 1;
  LockRetries = 0;
  LockWaitMs = 0;
  LockRetryCallback = nullptr;
  LockBaseOffset = 0x40000000;
  ImmediateCommit = false;
  EndOfFileMarker = 0x1A;
  PeekCacheSize = 0;
  KelpieAutoDispatch = true;
  KelpieErrorCallback = nullptr;
  KelpieRaiseErrors = true;
  KelpieErrorCode = KelpieLastError = 0;
  KelpieErrorText.clear();
  inDispatch = false;
}

void KelpieStart();  // tablengine/kelpie.h: the core and every unit in their order

namespace {
// The engine's tables start before anything uses them.
struct CoreStart {
  CoreStart() { KelpieStart(); }
} coreStart;
}  // namespace

}  // namespace qern::kelpie
