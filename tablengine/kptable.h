// The table object of the table-view window: a dataset bound to one table in a work area of its
// own, with positioning, field texts in UTF-8, edit/insert states that write back under the table
// lock, appending, and the error code of its last operation instead of the engine's error dispatch.
#pragma once

#include <cstdint>
#include <string>

#include "tablengine/kplock.h"

namespace qern::kelpie {

enum class DatasetState { Inactive, Browse, Edit, Insert };

class DbfDataset : public LockNotifiable {
 public:
  DbfDataset() = default;
  ~DbfDataset() override;
  DbfDataset(const DbfDataset&) = delete;
  DbfDataset& operator=(const DbfDataset&) = delete;

  // Closes what is open, takes name (".DBF" added when it has no extension) and opens it in the
  // first free work area. False with ErrorCode set when it cannot be opened.
  bool SetTableName(const std::string& name);
  const std::string& TableName() const { return tableName_; }
  bool Active() const { return area_ != 0; }
  DatasetState State() const { return state_; }
  void Close();

  // Records marked deleted are skipped by navigation while set.
  void SetIgnoreDeleted(bool on);

  // Positioning; an empty table is never positioned (EOF stays set).
  void Go(uint32_t n);
  void First();
  void Last();
  void Next();
  void Prior();
  uint32_t RecNo();
  uint32_t RecCount();
  bool Eof();
  bool Bof();
  bool IsEmpty();
  bool RecordDeleted();

  int FieldCount();
  std::string FieldName(int n);
  char FieldType(int n);
  int FieldLength(int n);
  // 0 when there is no such field (ErrorCode 211).
  int FieldNumber(const std::string& name);

  // Field n of the current record as display text (UTF-8); logical fields "T"/"F".
  std::string SField(int n);
  bool LField(const std::string& name);
  // Writes into the record buffer; each first puts the dataset into edit state unless it is in
  // edit or insert state.
  void PutSField(const std::string& name, const std::string& utf8);
  void PutLField(const std::string& name, bool value);
  void PutIField(const std::string& name, int64_t value);
  void PutFField(const std::string& name, double value);
  // Field n from a typed-in text (grid editing).
  void PutFieldText(int n, const std::string& utf8);

  // Edit state on the current record; Insert: a blank record buffer that Post appends.
  void Edit();
  void Insert();
  // Writes the buffer back (edit) or appends it (insert) under the table lock; false on failure.
  bool Post();
  // Drops the changes of the buffer.
  void Cancel();
  // Marks the current record deleted, or undeletes it (under the table lock).
  bool SetDeleted(bool on);
  // Appends the record held in the buffer as a new record, then revalidates the position.
  // The caller holds the table lock (Lock).
  bool AppendRec();

  bool Lock();
  void Unlock();
  // The notification routine of the lock wrappers: makes the dataset's area current.
  void LockNotification(const std::string& operation) override;
  const std::string& LastLockOperation() const { return lastLockOperation_; }

  // Error code and text of the last failed operation (0 and "" when none).
  int ErrorCode() const { return errorCode_; }
  const std::string& ErrorText() const { return errorText_; }
  void ClearError();

  // The work area the dataset uses (0 when closed).
  int Area() const { return area_; }

 private:
  class Scope;
  friend class Scope;
  // Runs f on the dataset's area with the engine's dispatch off; an engine error becomes the
  // dataset's error code and gives fallback. needsTable: without an open table f does not run.
  template <typename R, typename F>
  R Run(R fallback, F&& f, bool needsTable = true);
  bool WriteBuffer(bool append);
  void PrepareEdit();
  int FieldOf(const std::string& name);

  std::string tableName_;
  int area_ = 0;
  DatasetState state_ = DatasetState::Inactive;
  bool ignoreDeleted_ = false;
  int errorCode_ = 0;
  std::string errorText_;
  std::string lastLockOperation_;
};

}  // namespace qern::kelpie
