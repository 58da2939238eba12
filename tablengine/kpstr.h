// Text and file helpers of the table engine: trimming, case, Soundex, keyword stripping, file names,
// temporary names, deleting by mask, free disk space, and the linked allocation lists of the
// expression compiler and the index unit.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qern::kelpie {

// Case conversion of the engine's ANSI (Windows-1252) bytes.
std::string UpperString(const std::string& s);
char UpperChar(char c);
char LowerChar(char c);

std::string RTrim(const std::string& s);        // without trailing characters of code 32 or below
std::string TrimTrailing(const std::string& s); // the same
std::string LTrim(const std::string& s);
std::string AllTrim(const std::string& s);
// Decimal text right-aligned in width.
std::string LongToStr(long n, int width);
// Deletes every occurrence of keyword (any case) not followed by a letter, digit, "_", "\\" or "/",
// trims; the rest keeps its case. True when one was deleted.
bool StripKeyword(const std::string& keyword, std::string& text);
constexpr int SoundexLength = 4;
std::string Soundex(const std::string& s);

// Numeric keys in BCD form: byte 0 the sign (0x80 negative), byte 1 the decimal exponent + 128
// (clamped to 1..255; 0 for the value 0), then 20 digits packed two to a byte, most significant first.
using BcdKey = std::array<uint8_t, 12>;
BcdKey DoubleToBCD(double value);
// -1, 0, 1 as a is below, equal to or above b.
int CompareBCD(const BcdKey& a, const BcdKey& b);

// Files
bool FileExist(const std::string& name);
// The file meant by name: name itself when it exists. Otherwise its folder is searched for names
// that differ only in the case of their letters (files from DOS are often upper case): one such
// file is the one meant; with several none is chosen (name comes back) and they are listed in
// several, sorted.
std::string FileOfAnyCase(const std::string& name, std::vector<std::string>* several = nullptr);
// With typed, the length of the start of the name's last part that the user typed (the rest, an
// extension, was added in a case of the program's choice): of several files in other cases, the
// one whose start is exactly as typed is meant.
std::string FileOfAnyCase(const std::string& name, std::vector<std::string>* several, size_t typed);
// FileOfAnyCase into name; several files of the name in other cases are an error (2) that names
// them, with tag appended, and give false.
bool FindFileOfAnyCase(std::string& name, const std::string& tag);
// True when name, a file that belongs to table (its memo, an index), is to be taken exactly as it
// is: it exists, or the table has case twins (other files of its name in another case, K.DBF beside
// k.dbf): a table among twins was opened by its exact name, and its files go by theirs.
bool ExactNameFor(const std::string& name, const std::string& table);
// FindFileOfAnyCase for a file that belongs to table, by the rule above; when a table among case
// twins lacks it but files of the name in another case are there (the twins' own), that is error
// 2 naming them.
bool FindFileOfTable(std::string& name, const std::string& table, const std::string& tag);

// How OpenForWriting opens a file.
enum class WriteOpen {
  Existing,  // an existing file, read and written
  Truncate,  // made, or an existing one emptied
  Anew,      // made anew: an existing file is removed first (who has it open keeps the old one)
};
// Opens a file of the engine for writing by the rule every output follows: this user's links are
// followed, another user's link is never written through. Making a file, such a link is replaced
// by the new file; an existing file is not opened through it (-1, errno EACCES: the caller may
// read it). In a folder with the sticky bit, where such a link cannot be replaced, the file is
// refused with the engine's error naming it and tag (-2, errno EPERM). Other failures: -1, errno.
int OpenForWriting(const std::string& name, WriteOpen how, int flags, const std::string& tag);
bool FileDatedToday(const std::string& name);
// Deletes one file or every file matching a mask with "*" or "?"; errors through SetError.
void EraseFiles(const std::string& mask);
// Free space in KB; a very large value when unknown.
uint64_t DiskFreeKB(const std::string& path);
// A fresh temporary file name (prefix TempFilePrefix); the file is created empty.
bool UniqueFilename(std::string& name);
std::string DefaultExtension(const std::string& name, const std::string& ext);
std::string ForceExtension(const std::string& name, const std::string& ext);
// Folder with a trailing "/", base name, extension with its point.
void SplitPath(const std::string& path, std::string& dir, std::string& name, std::string& ext);
std::string BaseName(const std::string& path);
std::string FullPathName(const std::string& name);
// Seconds of a monotonic clock.
long Seconds();

// Linked allocation lists: a circular doubly linked list of zero-filled heap blocks.
struct ListNode {
  ListNode* Prev;
  ListNode* Next;
  uint32_t Size;  // bytes of the data that follow the node
  uint8_t* Data() { return reinterpret_cast<uint8_t*>(this + 1); }
};
// Allocates a zero-filled block of size bytes and links it in as the last node; nullptr on failure.
ListNode* LinkedAlloc(ListNode*& list, uint32_t size);
// From the first node (after the last) to the last; node nullptr starts; nullptr after the last.
ListNode* ListNext(ListNode* list, ListNode* node);
// Unlinks and frees the last node.
void ListRemoveLast(ListNode*& list);
// Unlinks and frees one node.
void ListRemove(ListNode*& list, ListNode* node);
void ListFreeAll(ListNode*& list);

}  // namespace qern::kelpie
