#include "app/SfxConfig.h"

#include "base/StringBuffer.h"
#include "base/XString.h"

SfxConfig::SfxConfig() {
  m_xml.SetTag("SfxConfig");
  m_xml.SetEncoding("utf-8");
  SetAutoTemp(false);
  SetDeleteAfterSetup(false);
  SetShowFin(false);
  SetShowMain(true);
  SetShowProgress(true);
  SetWaitForSetup(true);
  SetEncryption(false);
  SetKeyLength(128);
}

bool SfxConfig::LoadXml(const XString &utf8Text) { return m_xml.LoadXml2(utf8Text, true); }

bool SfxConfig::GetXml(StringBuffer &out) { return m_xml.ToXml(out); }

void SfxConfig::GetValue(const char *key, XString &out) const {
  StringBuffer text;
  m_xml.ChildText(key, text);
  out.setUtf8(text.getText());
}

bool SfxConfig::HasUnzipTarget() const {
  XString dir;
  GetUnzipDir(dir);
  return GetAutoTemp() || !dir.isEmpty();
}
