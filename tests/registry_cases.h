// Every member of the registry class, on any store: one table of scripts run
// in order on the same store, each with a fresh object pointed at value "v"
// of a test key {K} under the current-user root, as text. A script is a list
// of steps: setting a property (machine, root, section, name, type, default),
// a Value write (write), a raw store write (put TYPE:HEX), and members whose
// results are noted, or what they raised. Used by the test programs of each store.
#pragma once

#include <gtest/gtest.h>

#include <charconv>
#include <cstdlib>
#include <map>
#include <sstream>

#include "platform/store.h"
#include "settings/registry.h"

namespace vantorel::test {

inline std::string Hex(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) out += "0123456789ABCDEF"[c >> 4], out += "0123456789ABCDEF"[c & 15];
  return out;
}
inline int32_t Int(std::string_view text, int base = 10) {
  int32_t n = 0;
  EXPECT_TRUE(std::from_chars(text.data(), text.data() + text.size(), n, base).ec == std::errc()) << text;
  return n;
}
inline std::string Unhex(std::string_view hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(Int(hex.substr(i, 2), 16));
  return out;
}
// A value as "text:a\0b" (zeros shown so), "number:5", "bytes:0078" or "empty", and back.
inline std::string Show(const RegValue& v) {
  std::string text = v.raw();
  for (size_t at; (at = text.find('\0')) != std::string::npos;) text.replace(at, 1, "\\0");
  const RegValue::Kind k = v.kind();
  return k == RegValue::Kind::Empty ? "empty" : k == RegValue::Kind::Text ? "text:" + text : k == RegValue::Kind::Number ? "number:" + std::to_string(v.number()) : "bytes:" + Hex(v.raw());
}
inline RegValue Parse(const std::string& v) {
  const std::string rest = v.substr(v.find(':') + 1);
  return v.starts_with("text:") ? RegValue::Text(rest) : v.starts_with("number:") ? RegValue::Number(Int(rest)) : v.starts_with("bytes:") ? RegValue::Bytes(Unhex(rest)) : RegValue();
}

// here: for a script whose notes may differ between stores, what this store
// notes instead (by the notes expected of every other store).
inline void CheckRegistryMembers(platform::Store& store, const std::map<std::string, std::string>& here = {}) {
  using R = cRegistry;
  const char* const path = std::getenv("PATH");
  const std::map<std::string, std::string> words = {{"{FAILED}", "Failed to set registry value Key: '{HKCU}',Section: '"},
      {"{HKCU}", std::to_string(R::HKEY_CURRENT_USER)}, {"{HKLM}", std::to_string(R::HKEY_LOCAL_MACHINE)}, {"{K}", "Software\\Vantorel Tests\\Registry"},
      {"{LONG}", std::string(17000, 'n')}, {"{PATH}", path ? path : "%PATH%"}, {"{EXE}", "\"C:\\Prog\\v.exe\""}};
  const auto subst = [&](std::string s) {
    for (const auto& [word, text] : words)
      for (size_t at; (at = s.find(word)) != std::string::npos;) s.replace(at, word.size(), text);
    return s;
  };
  const auto yes = [](bool b) { return std::string(b ? "true" : "false"); };
  const auto listed = [](bool ok, const std::vector<std::string>& names, const int32_t& n) {  // read after the call
    std::string out;
    for (const std::string& name : names) out += name + ",";
    return out + std::to_string(n) + (ok ? "" : " (false)");
  };
  // One step of a script: nothing for a property set, else what is noted.
  const auto step = [&](R& r, const std::string& op, const std::string& arg) -> std::optional<std::string> {
    std::string a, b, c, d;
    std::istringstream(arg) >> a >> b >> c >> d;
    std::vector<std::string> names{"old"};  // emptied by the enumerations, as the count
    int32_t n = 9;
    const auto stored = store.ReadValue(r.ClassKey(), r.SectionKey(), r.ValueKey());
    const auto both = [&] { const auto hklm = store.ReadValue(R::HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\" + r.SectionKey(), "");
                            const auto hkcr = store.ReadValue(R::HKEY_CLASSES_ROOT, r.SectionKey(), "");
                            return !hkcr ? "none" : hklm && hklm->data == hkcr->data ? Show(DecodeStoredValue(1, hkcr->data)).substr(5) : "differ"; };
    std::vector<RegValue> items{RegValue::Text("edit"), RegValue::Text("&Edit"), RegValue::Text("e.exe")};
    if (op == "machine") r.Machine(arg);
    else if (op == "root") r.ClassKey(arg == "hkcr" ? R::HKEY_CLASSES_ROOT : arg == "hklm" ? R::HKEY_LOCAL_MACHINE : R::HKEY_CURRENT_USER);
    else if (op == "section") r.SectionKey(subst(arg));
    else if (op == "name") r.ValueKey(subst(arg));
    else if (op == "type") r.ValueType(Int(arg));
    else if (op == "default") r.Default(Parse(arg));
    else if (op == "write") r.Value(Parse(subst(arg)));
    else if (op == "put") store.WriteValue(r.ClassKey(), r.SectionKey(), r.ValueKey(), Int(arg.substr(0, arg.find(':'))), Unhex(arg.substr(arg.find(':') + 1)));
    else if (op == "ValueEx=") r.ValueEx(r.ClassKey(), r.SectionKey(), a, Int(b), Parse(c), Parse(d));
    else if (op == "associate") r.CreateEXEAssociation(" C:\\Prog\\v.exe ", "VantorelTest.File", "Test file", "vtt", "", true, "", false, "", true, "", 2);
    else if (op == "additional") items.resize(static_cast<size_t>(Int(arg))), r.CreateAdditionalEXEAssociations("VantorelTest.File", items);
    else return op == "Machine" ? r.Machine() : op == "ClassKey" ? std::to_string(r.ClassKey()) : op == "SectionKey" ? r.SectionKey() : op == "ValueKey" ? r.ValueKey()
         : op == "ValueType" ? std::to_string(r.ValueType()) : op == "Default" ? Show(r.Default()) : op == "Value" ? Show(r.Value())
         : op == "Stored" ? (stored ? std::to_string(stored->type) + ":" + Hex(stored->data) : "none") : op == "StoredType" ? (stored ? std::to_string(stored->type) : "none")
         : op == "KeyExists" ? yes(r.KeyExists()) : op == "CreateKey" ? yes(r.CreateKey()) : op == "DeleteKey" ? yes(r.DeleteKey()) : op == "DeleteValue" ? yes(r.DeleteValue())
         : op == "EnumerateValues" ? listed(r.EnumerateValues(names, n), names, n) : op == "EnumerateSections" ? listed(r.EnumerateSections(names, n), names, n)
         : op == "ValueEx" ? Show(r.ValueEx(r.ClassKey(), r.SectionKey(), a, Int(b), Parse(c))) : op == "Both" ? both() : "unknown step " + op;
    return std::nullopt;
  };
  const std::pair<const char*, const char*> cases[] = {  // the script, what it notes
      // Machine: short names clear it, others gain two backslashes; remote reads give the default, remote writes raise.
      {"machine pc;Machine;machine pc1;Machine;machine \\\\pc2;Machine", "|\\\\pc1|\\\\pc2"},
      {"machine pc1;default text:d;Value;write text:x;KeyExists", "text:d|raised 26001: {FAILED}{K}',Key: 'v' to value: 'x'|false"},
      // The properties read back as set, touching nothing.
      {"section {K}\\Set;name w;type 4;default number:3;ClassKey;SectionKey;ValueKey;ValueType;Default;KeyExists", "{HKCU}|{K}\\Set|w|4|number:3|false"},
      {"section {K}\\A\\B;CreateKey;section {K}\\A;KeyExists;section {K}\\\\x;CreateKey", "true|true|raised 26001: Failed to create registry Key: '{K}\\\\x"},
      // Value: texts with their zero; read back with their type; empty is not missing.
      {"write text:10;type 0;Stored;Value;ValueType;write text:;default text:d;Value;name missing;default number:5;Value;ValueType", "1:313000|text:10|1|text:|number:5|1"},
      {"write text:%PATH%\\x;StoredType;Value;write text:50%;StoredType;write text:%%x;StoredType;write text:%VANTOREL_NO_SUCH_NAME%;Value", "2|text:{PATH}\\x|1|1|text:%VANTOREL_NO_SUCH_NAME%"},
      {"type 4;write number:-2;Stored;Value;type 5;write number:258;Stored;put 5:00000102;Value;ValueType", "4:FEFFFFFF|number:-2|4:02010000|number:258|5"},
      {"put 7:6100620000;Value;put 4:0102;Value;put 4:010000000009;Value;put 1:6162;Value;put 11:0078;Value;put 0:;Value",
       "text:a\\0b\\0|number:513|number:1|text:ab|bytes:0078|bytes:"},
      {"name w;type 4;write text:7;Stored;type 3;write bytes:0078;Stored;Value;write text:x;type 6;write text:y;Stored",
       "none|3:0078|bytes:0078|raised 26001: Application-defined or object-defined error|raised -2147194455: {FAILED}{K}',Key: 'w' to value: 'y'|3:0078"},
      {"section {K}\\\\x;write text:1;section {K};name {LONG};write text:1", "raised 26001: {FAILED}{K}\\\\x',Key: 'v' to value: '1'|raised -2147194455: {FAILED}{K}',Key: '{LONG}' to value: '1'"},
      // Names match without regard to case (simple folding: ß is not ss) and keep their first case; the roots are separate.
      {"section {K}\\\xC3\x96l;name Stra\xC3\x9F" "e;write text:1;section {K}\\\xC3\xB6L;name STRA\xE1\xBA\x9E" "E;write text:2;name STRASSE;Value;EnumerateValues;"
       "section {K};EnumerateSections;root hklm;section {K}\\\xC3\x96l;KeyExists", "empty|Stra\xC3\x9F" "e,1|A,\xC3\x96l,2|false"},
      {"section {K}\\E;name b;write text:b;name A;write text:A;name c;write text:c;name B;write text:B;EnumerateValues;section {K}\\None;EnumerateValues", "b,A,c,3|0"},
      {"section {K}\\S\\b;CreateKey;section {K}\\S\\A;CreateKey;section {K}\\S\\C;CreateKey;section {K}\\S;EnumerateSections;section {K}\\None;EnumerateSections", "true|true|true|A,b,C,3|0"},
      {"section {K}\\E;ValueEx A 4 text:d;ValueKey;ValueType;Default;ValueEx= e 1 text:dflt text:;ValueEx= f 1 text:dflt text:new;name e;Stored;name f;Stored",
       "text:A|A|1|text:d|1:64666C7400|1:6E657700"},
      {"DeleteValue;DeleteValue;Stored;section {K}\\None;DeleteValue",
       "true|raised 26001: Failed to delete registry Key: '{HKCU}',Section: '{K}',Key: 'v|none|raised 26001: Failed to open key '{HKCU}',Section: '{K}\\None' for delete access"},
      {"section {K}\\E;DeleteKey;KeyExists;DeleteKey;section {K}\\A;DeleteKey",
       "true|false|raised 26001: Failed to delete registry Key: '{HKCU}',Section: '{K}\\E|raised 26001: Failed to delete registry Key: '{HKCU}',Section: '{K}\\A"},
      // File-type associations, written under both roots.
      {"additional 0", "raised -2147194451: Error - attempt to create additional associations before class defined."},
      {"associate;ClassKey;SectionKey;section .vtt;Both;section VantorelTest.File;Both;section VantorelTest.File\\shell\\open;Both;section VantorelTest.File\\shell\\open\\command;Both;"
       "section VantorelTest.File\\shell\\print;Both;section VantorelTest.File\\shell\\print\\command;Both;section VantorelTest.File\\shell\\add;Both;"
       "section VantorelTest.File\\shell\\add\\command;Both;section VantorelTest.File\\shell\\new;Both;section VantorelTest.File\\DefaultIcon;Both",
       "{HKLM}|VantorelTest.File\\DefaultIcon|VantorelTest.File|Test file|&Open|{EXE} \"%1\"|&Print|{EXE} /p \"%1\"|&Install vtt|{EXE} /a \"%1\"|none|{EXE},2"},
      {"additional 1;additional 3;section VantorelTest.File\\shell\\edit;Both;section VantorelTest.File\\shell\\edit\\command;Both",
       "raised -2147194452: Invalid parameter list passed to CreateAdditionalEXEAssociations - expected Name/Text/Command|&Edit|e.exe"},
  };
  for (const auto& [script, expected] : cases) {
    SCOPED_TRACE(script);
    R r(store);
    r.ClassKey(R::HKEY_CURRENT_USER), r.SectionKey(subst("{K}")), r.ValueKey("v"), r.ValueType(R::REG_SZ);
    std::string noted, s = script;
    for (size_t start = 0, end = 0; start < s.size(); start = end + 1) {
      end = std::min(s.find(';', start), s.size());
      const std::string one = s.substr(start, end - start), op = one.substr(0, one.find(' ')), arg = one.find(' ') == std::string::npos ? "" : one.substr(one.find(' ') + 1);
      try {
        if (const auto out = step(r, op, arg)) noted += "|" + *out;
      } catch (const RegistryError& e) {
        noted += "|raised " + std::to_string(e.number()) + (e.source() == store.ProgramName() + ".cRegistry" ? "" : " from " + e.source()) + ": " + e.description();
      }
    }
    EXPECT_EQ(noted.substr(1), subst(here.count(expected) ? here.at(expected) : expected));
  }
}

}  // namespace vantorel::test
