// Desktop handlers through installable hooks (xdg-open without them), and the association test
// over the XDG mimeapps.list and mimeinfo.cache files.
#include "platform/desktop.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>

#include "platform/process.h"
#include "platform/sysfile.h"

namespace qern {

namespace {

DesktopHooks Hooks;

std::string Env(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::string(v) : fallback;
}

std::vector<std::string> SplitPath(const std::string& list) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : list + ":") {
    if (c != ':') {
      cur += c;
    } else if (!cur.empty()) {
      out.push_back(cur.back() == '/' ? cur.substr(0, cur.size() - 1) : cur);
      cur.clear();
    }
  }
  return out;
}

std::string Trim(const std::string& s) {
  const auto a = s.find_first_not_of(" \t\r");
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(" \t\r") - a + 1);
}

// True when the file names a desktop entry for mimeType in one of the association groups.
bool FileAssociates(const std::string& file, const std::string& mimeType) {
  std::string text;
  ReadSystemFile(file, text);
  std::istringstream in(text);
  std::string line;
  bool inGroup = false;
  while (std::getline(in, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      inGroup = line == "[Default Applications]" || line == "[Added Associations]" ||
                line == "[MIME Cache]";
      continue;
    }
    if (!inGroup) continue;
    const auto eq = line.find('=');
    if (eq == std::string::npos || Trim(line.substr(0, eq)) != mimeType) continue;
    const std::string value = Trim(line.substr(eq + 1));
    if (value.find(".desktop") != std::string::npos) return true;
  }
  return false;
}

}  // namespace

void SetDesktopHooks(const DesktopHooks& hooks) { Hooks = hooks; }

bool OpenWithDesktop(const std::string& file) {
  if (Hooks.OpenFile) return Hooks.OpenFile(file);
  return StartDetached({"xdg-open", file}) == StartResult::Started;
}

bool OpenUrl(const std::string& url) {
  if (Hooks.OpenUrl) return Hooks.OpenUrl(url);
  return StartDetached({"xdg-open", url}) == StartResult::Started;
}

OpenedWith OpenWithProgram(const std::string& program, const std::string& file) {
  if (ProgramExists(program))
    return StartDetached({program, file}) == StartResult::Started ? OpenedWith::Program
                                                                   : OpenedWith::Nothing;
  if (NamesWindowsProgram(program) && OpenWithDesktop(file)) return OpenedWith::Desktop;
  return OpenedWith::Nothing;
}

std::vector<std::string> MimeAssociationFiles() {
  const std::string home = Env("HOME", "");
  const std::string configHome = Env("XDG_CONFIG_HOME", home.empty() ? "" : home + "/.config");
  const std::string dataHome = Env("XDG_DATA_HOME", home.empty() ? "" : home + "/.local/share");
  std::vector<std::string> files;
  if (!configHome.empty()) files.push_back(configHome + "/mimeapps.list");
  for (const auto& d : SplitPath(Env("XDG_CONFIG_DIRS", "/etc/xdg"))) files.push_back(d + "/mimeapps.list");
  std::vector<std::string> data;
  if (!dataHome.empty()) data.push_back(dataHome);
  for (const auto& d : SplitPath(Env("XDG_DATA_DIRS", "/usr/local/share:/usr/share"))) data.push_back(d);
  for (const auto& d : data) files.push_back(d + "/applications/mimeapps.list");
  for (const auto& d : data) files.push_back(d + "/applications/mimeinfo.cache");
  return files;
}

bool HasAssociatedProgram(const std::string& mimeType) {
  for (const auto& file : MimeAssociationFiles())
    if (FileAssociates(file, mimeType)) return true;
  return false;
}

std::string UrlEncode(const std::string& s) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '.' || c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::string UrlDecode(const std::string& s) {
  auto hex = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && hex(s[i + 1]) >= 0 && hex(s[i + 2]) >= 0) {
      out += static_cast<char>(hex(s[i + 1]) * 16 + hex(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::string ReadableLink(const std::string& url) {
  const std::string scheme = "mailto:";
  if (url.size() < scheme.size()) return url;
  for (size_t i = 0; i < scheme.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(url[i])) != scheme[i]) return url;
  const size_t query = url.find('?');
  std::string text = UrlDecode(url.substr(scheme.size(), query - std::min(query, scheme.size())));
  if (query == std::string::npos) return text;
  // The fields of the query, "name=value" joined by "&"; the subject is the one a reader needs.
  size_t from = query + 1;
  while (from <= url.size()) {
    size_t end = url.find('&', from);
    if (end == std::string::npos) end = url.size();
    const std::string field = url.substr(from, end - from);
    const size_t eq = field.find('=');
    std::string name = field.substr(0, eq);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name == "subject" && eq != std::string::npos)
      text += ", Betreff: " + UrlDecode(field.substr(eq + 1));
    from = end + 1;
  }
  return text;
}

}  // namespace qern
