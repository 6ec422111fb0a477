#pragma once

#include <cstdint>

#include "xml/ClsXml.h"

class StringBuffer;
class XString;

// Every setting of a run, held as an XML document: root <SfxConfig>, one child element per key,
// the key being the tag and the value the element's text ("1"/"0" for flags, decimal integers).
//
// Any key can be read or set by name: SetValue("SetupExe", "setup.exe") changes the first
// <SetupExe> or appends one at the end; keys nobody reads (IconFile, PublisherName, ...) are kept
// and written with the rest. Keys compare exactly, so "setupexe" is another key. Readings of a
// key that is absent are empty text, 0 and false.
class SfxConfig {
 public:
  // Keys the program reads or writes.
  static constexpr const char *kAutoTemp = "AutoTemp";
  static constexpr const char *kDeleteAfterSetup = "DeleteAfterSetup";
  static constexpr const char *kShowFin = "ShowFin";
  static constexpr const char *kShowMain = "ShowMain";
  static constexpr const char *kShowProgress = "ShowProgress";
  static constexpr const char *kWaitForSetup = "WaitForSetup";
  static constexpr const char *kEncryption = "Encryption";
  static constexpr const char *kKeyLength = "KeyLength";
  static constexpr const char *kUnzipDir = "UnzipDir";
  static constexpr const char *kDefaultDir = "DefaultDir";
  static constexpr const char *kSetupExe = "SetupExe";
  static constexpr const char *kSetupExeArgs = "SetupExeArgs";
  static constexpr const char *kMainTitle = "MainTitle";
  static constexpr const char *kMainCaption = "MainCaption";
  // The license page: its text, title and button texts (the dialog resource holds the defaults
  // "License Agreement", "I Agree" and "Decline").
  static constexpr const char *kLicenseText = "LicenseText";
  static constexpr const char *kLicenseTitle = "LicenseTitle";
  static constexpr const char *kLicenseAcceptBtn = "LicenseAcceptBtn";
  static constexpr const char *kLicenseDeclineBtn = "LicenseDeclineBtn";
  // Unattended policies. LicenseRequired "1": a silent run extracts only with "-acceptLicense"
  // (which sets LicenseAccepted "1"); Overwrite always|never|older: which existing files
  // entries replace (always when absent).
  static constexpr const char *kLicenseRequired = "LicenseRequired";
  static constexpr const char *kLicenseAccepted = "LicenseAccepted";
  static constexpr const char *kOverwrite = "Overwrite";

  // The defaults, in this order: AutoTemp 0, DeleteAfterSetup 0, ShowFin 0, ShowMain 1,
  // ShowProgress 1, WaitForSetup 1, Encryption 0, KeyLength 128; declared encoding utf-8.
  SfxConfig();
  SfxConfig(const SfxConfig &) = delete;
  SfxConfig &operator=(const SfxConfig &) = delete;
  virtual ~SfxConfig() = default;

  // Replaces the whole document, defaults included, when the text holds an element; otherwise
  // the document stays as it was and the result is false.
  bool LoadXml(const XString &utf8Text);
  // The document as XML text with CR LF line ends.
  bool GetXml(StringBuffer &out);

  // Text as UTF-8 (a leading byte-order mark dropped).
  void GetValue(const char *key, XString &out) const;
  // Optional sign and leading digits, no blanks skipped: " 1" and "true" read 0.
  int32_t GetIntValue(const char *key) const { return m_xml.ChildInt(key); }
  bool GetFlag(const char *key) const { return m_xml.ChildFlag(key); }
  // Blanks around the key are trimmed; a new key's spaces become "_" in its tag.
  bool SetValue(const char *key, const char *text) { return m_xml.SetChildText(key, text); }
  bool SetFlag(const char *key, bool flag) { return m_xml.SetChildFlag(key, flag); }
  bool SetIntValue(const char *key, int32_t n) { return m_xml.SetChildInt(key, n); }

  // Whether the run knows where to extract without asking: automatic temporary directory or a
  // given directory.
  bool HasUnzipTarget() const;

  void GetMainTitle(XString &out) const { GetValue(kMainTitle, out); }
  void GetMainCaption(XString &out) const { GetValue(kMainCaption, out); }
  void GetUnzipDir(XString &out) const { GetValue(kUnzipDir, out); }
  void GetDefaultDir(XString &out) const { GetValue(kDefaultDir, out); }
  void GetSetupExe(XString &out) const { GetValue(kSetupExe, out); }
  void GetSetupExeArgs(XString &out) const { GetValue(kSetupExeArgs, out); }
  bool GetAutoTemp() const { return GetFlag(kAutoTemp); }
  bool GetEncryption() const { return GetFlag(kEncryption); }
  bool GetShowFin() const { return GetFlag(kShowFin); }
  bool GetShowMain() const { return GetFlag(kShowMain); }
  bool GetShowProgress() const { return GetFlag(kShowProgress); }
  bool GetWaitForSetup() const { return GetFlag(kWaitForSetup); }

  bool SetUnzipDir(const char *dir) { return SetValue(kUnzipDir, dir); }
  bool SetDefaultDir(const char *dir) { return SetValue(kDefaultDir, dir); }
  bool SetSetupExeArgs(const char *args) { return SetValue(kSetupExeArgs, args); }
  bool SetAutoTemp(bool flag) { return SetFlag(kAutoTemp, flag); }
  bool SetDeleteAfterSetup(bool flag) { return SetFlag(kDeleteAfterSetup, flag); }
  bool SetShowFin(bool flag) { return SetFlag(kShowFin, flag); }
  bool SetShowMain(bool flag) { return SetFlag(kShowMain, flag); }
  bool SetShowProgress(bool flag) { return SetFlag(kShowProgress, flag); }
  bool SetWaitForSetup(bool flag) { return SetFlag(kWaitForSetup, flag); }
  bool SetEncryption(bool flag) { return SetFlag(kEncryption, flag); }
  bool SetKeyLength(int32_t bits) { return SetIntValue(kKeyLength, bits); }

 private:
  ClsXml m_xml;
};
