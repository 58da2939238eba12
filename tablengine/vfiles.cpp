// Record lists (virtual files): the list of record copies behind a virtual work area and the
// procedure through which the record layer reads, writes, inserts and removes its records.
#include "tablengine/vfiles.h"

#include <cstdlib>
#include <memory>
#include <new>

#include "tablengine/kpapi.h"
#include "tablengine/kpstr.h"

namespace qern::kelpie {

namespace {

struct Node {
  Node* Prev = nullptr;
  Node* Next = nullptr;
  std::vector<uint8_t> Data;  // copy of the raw record; byte 0 is the delete flag (1 = deleted)
  std::string Key;            // sort key, taken when the record was stored
  double KeyNumber = 0;
  bool KeyIsNumber = false;
};

struct List {
  Node* First = nullptr;
  Node* Last = nullptr;
  Node* Current = nullptr;
  uint32_t CurrentNo = 0;  // position of current (0 = none)
  uint32_t Count = 0;
  VirtualKind Kind = VirtualKind::Append;
  uint8_t WriteResult = 0;
};

List* ListOf(WorkArea& a) { return static_cast<List*>(a.VirtualState); }

std::string AliasText(const WorkArea& a) { return " " + a.Alias; }

// The delete flag as a list keeps it: 1 for a record marked "*" (or already 1), else 0.
uint8_t FlagOf(uint8_t b) { return b == '*' || b == 1 ? 1 : 0; }

void Unlink(List& l, Node* n) {
  (n->Prev ? n->Prev->Next : l.First) = n->Next;
  (n->Next ? n->Next->Prev : l.Last) = n->Prev;
  --l.Count;
}

void LinkAfter(List& l, Node* after, Node* n) {  // after nullptr: at the front
  n->Prev = after;
  n->Next = after ? after->Next : l.First;
  (n->Next ? n->Next->Prev : l.Last) = n;
  (after ? after->Next : l.First) = n;
  ++l.Count;
}

void FreeAll(List& l) {
  for (Node* n = l.First; n != nullptr;) {
    Node* next = n->Next;
    delete n;
    n = next;
  }
  l.First = l.Last = l.Current = nullptr;
  l.Count = l.CurrentNo = 0;
}

// Node n of the list, walked from the nearest of first, last and current.
Node* NodeAt(List& l, uint32_t n) {
  if (n < 1 || n > l.Count) return nullptr;
  uint32_t best = n - 1;
  Node* p = l.First;
  uint32_t at = 1;
  if (l.Count - n < best) {
    best = l.Count - n;
    p = l.Last;
    at = l.Count;
  }
  if (l.Current != nullptr && l.CurrentNo >= 1) {
    const uint32_t d = l.CurrentNo > n ? l.CurrentNo - n : n - l.CurrentNo;
    if (d < best) {
      p = l.Current;
      at = l.CurrentNo;
    }
  }
  while (at < n) p = p->Next, ++at;
  while (at > n) p = p->Prev, --at;
  l.Current = p;
  l.CurrentNo = n;
  return p;
}

uint32_t PositionOf(const List& l, const Node* node) {
  uint32_t i = 1;
  for (const Node* p = l.First; p != nullptr; p = p->Next, ++i)
    if (p == node) return i;
  return 0;
}

void TakeKey(WorkArea& a, Node& n) {
  n.Key = a.KeyMethod ? a.KeyMethod() : std::string();
  if (n.Key.size() > 100) n.Key.resize(100);
  const std::string t = AllTrim(n.Key);
  char* end = nullptr;
  n.KeyNumber = t.empty() ? 0 : std::strtod(t.c_str(), &end);
  n.KeyIsNumber = !t.empty() && end != nullptr && *end == 0;
}

// Negative when a sorts before b in ascending order.
int CompareKeys(const Node& a, const Node& b) {
  if (a.KeyIsNumber && b.KeyIsNumber) return a.KeyNumber < b.KeyNumber ? -1 : a.KeyNumber > b.KeyNumber ? 1 : 0;
  return a.Key.compare(b.Key);
}

// Links n by the list kind and makes it current; equal keys keep their arrival order.
void Place(WorkArea& a, List& l, Node* n) {
  switch (l.Kind) {
    case VirtualKind::Append: LinkAfter(l, l.Last, n); break;
    case VirtualKind::Stack: LinkAfter(l, nullptr, n); break;
    case VirtualKind::Insert: {
      Node* cur = (a.CurrentRecord >= 1 && a.CurrentRecord <= l.Count) ? NodeAt(l, a.CurrentRecord) : l.Last;
      LinkAfter(l, cur, n);
      break;
    }
    case VirtualKind::Ascending:
    case VirtualKind::Descending: {
      const int sign = l.Kind == VirtualKind::Ascending ? 1 : -1;
      Node* after = l.Last;
      while (after != nullptr && sign * CompareKeys(*after, *n) > 0) after = after->Prev;
      LinkAfter(l, after, n);
      break;
    }
  }
  l.Current = n;
  l.CurrentNo = PositionOf(l, n);
  a.RecordCount = l.Count;
  a.CurrentRecord = l.CurrentNo;
  a.Eof = a.Bof = false;
}

// The area after its list changed: positioned on the current node, or at BOF and EOF when empty.
void Settle(WorkArea& a, List& l) {
  a.RecordCount = l.Count;
  if (l.Count == 0) {
    l.Current = nullptr;
    l.CurrentNo = 0;
    a.CurrentRecord = 1;
    a.Eof = a.Bof = true;
    return;
  }
  if (l.Current == nullptr) {
    l.Current = l.First;
    l.CurrentNo = 1;
  }
  a.CurrentRecord = l.CurrentNo;
  a.Record = l.Current->Data;
  a.Record.resize(a.RecordLength, ' ');
}

void Remove(WorkArea& a, List& l, Node* n) {
  Node* next = n->Next ? n->Next : n->Prev;
  Unlink(l, n);
  delete n;
  l.Current = next;
  l.CurrentNo = next ? PositionOf(l, next) : 0;
  Settle(a, l);
}

void RangeError(WorkArea& a, List& l, uint32_t n) {
  SetError(212, "Versuch auf ungültigen Datensatz zu positionieren " + std::to_string(n) +
                    "  Anzahl Datensätze in Datenbank ist " + std::to_string(l.Count) + AliasText(a) +
                    " [VFiles]");
}

Node* NewNode(WorkArea& a) {
  Node* n = new (std::nothrow) Node;
  if (n == nullptr) {
    SetError(217, "HEAP-Speicher ungenügend zum Datensatz-Anhängen an" + AliasText(a) + " [VFiles]");
    return nullptr;
  }
  n->Data = a.Record;
  n->Data.resize(a.RecordLength, ' ');
  n->Data[0] = FlagOf(n->Data[0]);
  TakeKey(a, *n);
  return n;
}

Node* Current(WorkArea& a, List& l) {
  Node* n = NodeAt(l, a.CurrentRecord);
  if (n == nullptr) RangeError(a, l, a.CurrentRecord);
  return n;
}

}  // namespace

void VirtualFileProcedure(WorkArea& a) {
  List* lp = ListOf(a);
  if (lp == nullptr) {
    SetError(1102, "Fehler in der Verwaltung der virtuellen Datei [VFiles]");
    return;
  }
  List& l = *lp;
  switch (a.VirtualMode) {
    case VirtualClose:
      FreeAll(l);
      delete lp;
      a.VirtualState = nullptr;
      a.Fields.clear();
      a.RecordCount = 0;
      return;
    case VirtualDelete:
    case VirtualRecall:
      if (Node* n = Current(a, l)) {
        n->Data[0] = a.VirtualMode == VirtualDelete ? 1 : 0;
        if (!a.Record.empty()) a.Record[0] = n->Data[0];
      }
      return;
    case VirtualRead: {
      Node* n = NodeAt(l, a.VirtualRecNo);
      if (n == nullptr) return RangeError(a, l, a.VirtualRecNo);
      a.Record = n->Data;
      a.Record.resize(a.RecordLength, ' ');
      a.CurrentRecord = a.VirtualRecNo;
      return;
    }
    case VirtualForget:  // the nodes are freed as well: nothing else holds them
    case VirtualZap:
      FreeAll(l);
      Settle(a, l);
      return;
    case VirtualPack:
      for (Node* n = l.First; n != nullptr;) {
        Node* next = n->Next;
        if (n->Data[0] != 0) {
          Unlink(l, n);
          delete n;
        }
        n = next;
      }
      l.Current = l.First;
      l.CurrentNo = l.First ? 1 : 0;
      Settle(a, l);
      return;
    case VirtualPop:
      if (l.Count == 0) {
        SetError(1100, "Leere virtuelle Datei: POP unmöglich von" + AliasText(a) + " [(PopRec) VFiles]");
        return;
      }
      if (l.Kind == VirtualKind::Insert) {
        SetError(1100, "Datensatz POP unzulässig im Einfüge-Modus" + AliasText(a) + " [(PopRec) VFiles]");
        return;
      }
      a.Record = l.First->Data;
      a.Record.resize(a.RecordLength, ' ');
      {
        Node* n = l.First;
        Unlink(l, n);
        delete n;
        l.Current = l.First;
        l.CurrentNo = l.First ? 1 : 0;
        a.RecordCount = l.Count;
        a.CurrentRecord = 1;
        a.Eof = a.Bof = l.Count == 0;
      }
      return;
    case VirtualPush:
      if (Node* n = NewNode(a)) Place(a, l, n);
      return;
    case VirtualWrite: {
      if (a.VirtualRecNo > l.Count || a.VirtualRecNo == 0) {
        if (a.VirtualRecNo == 0) return RangeError(a, l, 0);
        if (Node* n = NewNode(a)) Place(a, l, n);
        l.WriteResult = VirtualMoved;
        return;
      }
      Node* n = NodeAt(l, a.VirtualRecNo);
      const uint32_t before = a.VirtualRecNo;
      n->Data = a.Record;
      n->Data.resize(a.RecordLength, ' ');
      n->Data[0] = FlagOf(n->Data[0]);
      l.WriteResult = VirtualStayed;
      if (l.Kind == VirtualKind::Ascending || l.Kind == VirtualKind::Descending) {
        TakeKey(a, *n);
        Unlink(l, n);
        l.Current = nullptr;
        Place(a, l, n);
        if (l.CurrentNo != before) l.WriteResult = VirtualMoved;
      }
      a.CurrentRecord = l.CurrentNo;
      return;
    }
    case VirtualRemove:
      if (Node* n = Current(a, l)) Remove(a, l, n);
      return;
  }
  SetError(1103, "Unzulässige Ausführung " + std::to_string(a.VirtualMode) + " [VFiles]");
}

void VFilesInit() { VirtualFileProc = &VirtualFileProcedure; }

bool CreateVirtualFile(const std::vector<FieldSpec>& fields, const std::string& alias, VirtualKind kind,
                       VirtualKeyMethod key) {
  const std::string routine = " [CreateVirtualFile(" + alias + ")]";
  if (fields.empty() || fields.size() > 255) {
    SetError(211, "Feldanzahl" + routine);
    return false;
  }
  if (CurrentWorkArea()) CloseArea();
  auto area = std::make_unique<WorkArea>();
  uint32_t offset = 1;
  size_t typedSize = 1;
  for (const FieldSpec& s : fields) {
    FieldDescriptor f;
    const std::string name = UpperString(s.Name);
    const char type = UpperChar(s.Type);
    const bool known = type == 'C' || type == 'D' || type == 'F' || type == 'L' || type == 'M' || type == 'N';
    if (name.empty() || name.size() > 10 || !known || s.Length < 1 || s.Length > 255 ||
        (type == 'D' && s.Length != 8) || s.Decimals < 0 || (s.Decimals > 0 && s.Decimals >= s.Length) ||
        offset + s.Length > 65535) {
      SetError(211, "Unzulässige Feldangabe " + s.Name + routine);
      return false;
    }
    name.copy(f.Name, name.size());
    f.Type = type;
    f.Length = static_cast<uint8_t>(s.Length);
    f.Decimals = static_cast<uint8_t>(s.Decimals);
    f.Offset = static_cast<uint16_t>(offset);
    offset += s.Length;
    f.TypedOffset = static_cast<uint16_t>(typedSize);
    typedSize += TypedSlotSize(f);
    area->Fields.push_back(f);
  }
  area->FileName = alias;
  area->Alias = alias.substr(0, 64);
  area->RecordLength = static_cast<uint16_t>(offset);
  area->FieldCount = static_cast<uint8_t>(fields.size());
  area->Record.assign(offset, ' ');
  area->Typed.assign(typedSize, 0);
  area->IsVirtual = true;
  area->KeyMethod = std::move(key);
  auto* list = new List;
  list->Kind = kind;
  area->VirtualState = list;
  area->UpdateState = UpdateClean;
  area->CurrentRecord = 1;
  area->Eof = area->Bof = true;
  WorkArea* raw = area.release();
  WorkAreaTable[CurrentArea] = raw;
  LoadTypedRecord(*raw);
  return true;
}

namespace {

WorkArea* VirtualArea(const char* routine) {
  WorkArea* a = CheckWorkArea(routine);
  if (a != nullptr && !a->IsVirtual) {
    SetError(1101, std::string("Keine virtuelle Datei [") + routine + "]");
    return nullptr;
  }
  return a;
}

void Run(WorkArea& a, int mode) {
  a.VirtualMode = mode;
  if (VirtualFileProc) VirtualFileProc(a);
  else SetError(1101, " [VFiles]");
}

}  // namespace

void PushRec() {
  WorkArea* a = VirtualArea("PushRec");
  if (a == nullptr) return;
  StoreTypedRecord(*a);
  Run(*a, VirtualPush);
  if (KelpieErrorCode == 0) LoadTypedRecord(*a);
}

void PopRec() {
  WorkArea* a = VirtualArea("PopRec");
  if (a == nullptr) return;
  Run(*a, VirtualPop);
  if (KelpieErrorCode == 0) LoadTypedRecord(*a);
}

void PackVirtual() {
  WorkArea* a = VirtualArea("PackVirtual");
  if (a == nullptr) return;
  Run(*a, VirtualPack);
  if (KelpieErrorCode == 0) LoadTypedRecord(*a);
}

void ZapVirtual() {
  WorkArea* a = VirtualArea("ZapVirtual");
  if (a == nullptr) return;
  Run(*a, VirtualZap);
  if (KelpieErrorCode == 0) {
    a->Record.assign(a->RecordLength, ' ');
    LoadTypedRecord(*a);
  }
}

uint8_t VirtualWriteResult(const WorkArea& area) {
  const auto* l = static_cast<const List*>(area.VirtualState);
  return l ? l->WriteResult : 0;
}

}  // namespace qern::kelpie
