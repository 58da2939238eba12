// The table object: every operation runs on the dataset's own work area with the engine's error
// dispatch switched off, so a failure becomes the dataset's error code and the caller decides.
#include "tablengine/kptable.h"

#include "platform/codepage.h"
#include "tablengine/kpapi.h"
#include "tablengine/kpcore.h"
#include "tablengine/kpdbf.h"
#include "tablengine/kpstr.h"

namespace qern::kelpie {

// Selects the dataset's area and switches dispatch off; afterwards the previous area and dispatch
// come back and a pending engine error is kept as the dataset's error.
class DbfDataset::Scope {
 public:
  explicit Scope(DbfDataset& d) : d_(d), area_(CurrentArea), dispatch_(SetErrorDispatch(false)) {
    if (d_.area_ != 0) Select(d_.area_);
    KelpieErrorCode = 0;
  }
  ~Scope() {
    if (KelpieErrorCode != 0) Fail(KelpieErrorCode, KelpieErrorText);
    KelpieErrorCode = 0;
    CurrentArea = area_;
    SetErrorDispatch(dispatch_);
  }
  void Fail(int code, const std::string& text) {
    d_.errorCode_ = code;
    d_.errorText_ = text;
  }
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;

 private:
  DbfDataset& d_;
  uint8_t area_;
  bool dispatch_;
};

template <typename R, typename F>
R DbfDataset::Run(R fallback, F&& f, bool needsTable) {
  Scope scope(*this);
  if (needsTable && area_ == 0) {
    scope.Fail(215, "Keine Datenbank (bzw.kein Arbeitsbereich) geöffnet. [" + tableName_ + "]");
    return fallback;
  }
  try {
    return f();
  } catch (const EKelpieError& e) {
    scope.Fail(e.Code, e.what());
    return fallback;
  }
}

DbfDataset::~DbfDataset() { Close(); }

void DbfDataset::ClearError() {
  errorCode_ = 0;
  errorText_.clear();
}

bool DbfDataset::SetTableName(const std::string& name) {
  Close();
  tableName_ = DatasetTableName(name);
  return Run(
      false,
      [&] {
        Select(0);
        if (KelpieErrorCode != 0) return false;
        if (!UseDbf(tableName_)) return false;
        area_ = CurrentArea;
        state_ = DatasetState::Browse;
        SetIgnoreDel(ignoreDeleted_);
        if (kelpie::RecCount() > 0) GoTop();
        return KelpieErrorCode == 0;
      },
      false);
}

void DbfDataset::Close() {
  if (area_ == 0) return;
  Run(
      0,
      [&] {
        CloseArea();
        return 0;
      },
      true);
  area_ = 0;
  state_ = DatasetState::Inactive;
}

void DbfDataset::SetIgnoreDeleted(bool on) {
  ignoreDeleted_ = on;
  if (area_ != 0) Run(0, [&] { SetIgnoreDel(on); return 0; });
}

void DbfDataset::Go(uint32_t n) {
  Run(0, [&] {
    state_ = DatasetState::Browse;
    if (kelpie::RecCount() == 0) return 0;  // an empty table has no record to go to
    GO(n);
    return 0;
  });
}

void DbfDataset::First() {
  Run(0, [&] {
    state_ = DatasetState::Browse;
    GoTop();
    return 0;
  });
}

void DbfDataset::Last() {
  Run(0, [&] {
    state_ = DatasetState::Browse;
    const uint32_t n = kelpie::RecCount();
    if (n == 0) return 0;
    GO(n);
    if (KelpieErrorCode == 0 && ignoreDeleted_ && kelpie::Deleted()) SKIP(-1);
    return 0;
  });
}

void DbfDataset::Next() {
  Run(0, [&] {
    state_ = DatasetState::Browse;
    if (!dEOF()) SKIP(1);
    return 0;
  });
}

void DbfDataset::Prior() {
  Run(0, [&] {
    state_ = DatasetState::Browse;
    if (kelpie::RecCount() > 0) SKIP(-1);
    return 0;
  });
}

uint32_t DbfDataset::RecNo() { return Run(0u, [] { return kelpie::RecNo(); }); }
uint32_t DbfDataset::RecCount() { return Run(0u, [] { return kelpie::RecCount(); }); }
bool DbfDataset::Eof() { return Run(true, [] { return dEOF(); }); }
bool DbfDataset::Bof() { return Run(true, [] { return dBOF(); }); }
bool DbfDataset::IsEmpty() {
  return Run(true, [] { return kelpie::RecCount() == 0 || s_IsEmptyDbf(); });
}
bool DbfDataset::RecordDeleted() { return Run(false, [] { return kelpie::Deleted(); }); }

int DbfDataset::FieldCount() { return Run(0, [] { return kelpie::FieldCount(); }); }
std::string DbfDataset::FieldName(int n) {
  return Run(std::string(), [&] { return Cp1252ToUtf8(kelpie::FieldName(n)); });
}
char DbfDataset::FieldType(int n) { return Run(' ', [&] { return kelpie::FieldType(n); }); }
int DbfDataset::FieldLength(int n) { return Run(0, [&] { return FieldLen(n); }); }

int DbfDataset::FieldOf(const std::string& name) {
  // Field names are passed with at most 10 characters.
  const int n = FieldNo(name.substr(0, 10));
  if (n == 0) SetError(211, "Unzulässige Feldangabe: " + name + " [" + tableName_ + "]");
  return n;
}

int DbfDataset::FieldNumber(const std::string& name) {
  return Run(0, [&] { return FieldOf(name); });
}

std::string DbfDataset::SField(int n) {
  return Run(std::string(), [&] {
    const char type = kelpie::FieldType(n);
    if (KelpieErrorCode != 0) return std::string();
    std::string s = type == 'C' ? RTrim(FieldStr(n)) : AllTrim(FieldToStr(n));
    return Cp1252ToUtf8(s);
  });
}

bool DbfDataset::LField(const std::string& name) {
  return Run(false, [&] {
    const int n = FieldOf(name);
    return n != 0 && FieldBool(n);
  });
}

void DbfDataset::PrepareEdit() {
  if (state_ == DatasetState::Browse) state_ = DatasetState::Edit;
}

void DbfDataset::PutSField(const std::string& name, const std::string& utf8) {
  Run(0, [&] {
    PrepareEdit();
    if (const int n = FieldOf(name)) PutFieldUtf8(n, utf8);
    return 0;
  });
}

void DbfDataset::PutLField(const std::string& name, bool value) {
  Run(0, [&] {
    PrepareEdit();
    if (const int n = FieldOf(name)) PutFieldBool(n, value);
    return 0;
  });
}

void DbfDataset::PutIField(const std::string& name, int64_t value) {
  Run(0, [&] {
    PrepareEdit();
    if (const int n = FieldOf(name)) PutFieldInt(n, value);
    return 0;
  });
}

void DbfDataset::PutFField(const std::string& name, double value) {
  Run(0, [&] {
    PrepareEdit();
    if (const int n = FieldOf(name)) PutFieldNum(n, value);
    return 0;
  });
}

void DbfDataset::PutFieldText(int n, const std::string& utf8) {
  Run(0, [&] {
    PrepareEdit();
    PutFieldUtf8(n, utf8);
    return 0;
  });
}

void DbfDataset::Edit() {
  Run(0, [&] {
    if (state_ == DatasetState::Browse && kelpie::RecCount() > 0 && !dEOF()) state_ = DatasetState::Edit;
    return 0;
  });
}

void DbfDataset::Insert() {
  Run(0, [&] {
    ClearRecord();
    state_ = DatasetState::Insert;
    return 0;
  });
}

bool DbfDataset::WriteBuffer(bool append) {
  if (!LockDatasetTable(*this)) {
    if (KelpieErrorCode == 0)
      SetError(33, "Tabelle ist von einem anderen Programm gesperrt: " + tableName_ + " [ALock]");
    return false;
  }
  struct Release {
    DbfDataset& d;
    ~Release() { UnlockDatasetTable(d); }
  } release{*this};
  if (append) {
    Append();
  } else {
    Replace();
  }
  return KelpieErrorCode == 0;
}

bool DbfDataset::Post() {
  return Run(false, [&] {
    if (state_ != DatasetState::Edit && state_ != DatasetState::Insert) return true;
    const bool append = state_ == DatasetState::Insert;
    if (!append && (kelpie::RecCount() == 0 || dEOF())) {
      state_ = DatasetState::Browse;
      return true;
    }
    if (!WriteBuffer(append)) return false;
    if (append) RevalidatePosition();
    state_ = DatasetState::Browse;
    return KelpieErrorCode == 0;
  });
}

void DbfDataset::Cancel() {
  Run(0, [&] {
    const DatasetState was = state_;
    state_ = DatasetState::Browse;
    const uint32_t n = kelpie::RecNo();
    if (was != DatasetState::Browse && n >= 1 && n <= kelpie::RecCount()) GO(n);
    else if (was != DatasetState::Browse) ClearRecord();
    return 0;
  });
}

bool DbfDataset::SetDeleted(bool on) {
  return Run(false, [&] {
    if (kelpie::RecCount() == 0 || dEOF()) return false;
    kelpie::SetDeleted(on);
    return WriteBuffer(false);
  });
}

bool DbfDataset::AppendRec() {
  return Run(false, [&] {
    Append();
    if (KelpieErrorCode != 0) return false;
    RevalidatePosition();
    state_ = DatasetState::Browse;
    return KelpieErrorCode == 0;
  });
}

bool DbfDataset::Lock() {
  return Run(false, [&] {
    if (LockDatasetTable(*this)) return true;
    if (KelpieErrorCode == 0)
      SetError(33, "Tabelle ist von einem anderen Programm gesperrt: " + tableName_ + " [ALock]");
    return false;
  });
}

void DbfDataset::Unlock() {
  Run(0, [&] {
    UnlockDatasetTable(*this);
    return 0;
  });
}

void DbfDataset::LockNotification(const std::string& operation) {
  lastLockOperation_ = operation;
  if (area_ != 0 && CurrentArea != area_) Select(area_);
}

}  // namespace qern::kelpie
